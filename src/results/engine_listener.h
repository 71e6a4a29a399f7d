// Whoever wants to know the engine's decisions implements the calls it cares for. They come on
// the UI thread, in the order the engine makes the decisions, to every listener in the order they
// began to listen.
#pragma once

#include "results/engine_results.h"

namespace tarnwick {

// setting.ini and smtpsvr.ini (or pgmsetting.ini) came into force: loaded at start, or saved.
struct SettingsInForce {
  bool firstRun = false;  // no setting.ini was found: the first-run values are in force
};

class IEngineListener {
 public:
  virtual ~IEngineListener() = default;
  virtual void OnCycleStart(const CycleStart&) {}
  virtual void OnSample(const SampleResult&) {}
  virtual void OnBusy(const BusyResult&) {}
  virtual void OnExceeding(const ExceedingResult&) {}
  virtual void OnNormalSample(const NormalSampleResult&) {}
  virtual void OnAlert(const AlertResult&) {}
  virtual void OnBackToNormal(const BackToNormalResult&) {}
  virtual void OnTermination(const TerminationResult&) {}
  virtual void OnKillPick(const KillPickResult&) {}
  virtual void OnWatchesDone(const WatchesDone&) {}
  virtual void OnProgramStep(const ProgramStepResult&) {}
  virtual void OnCycleDone(const CycleDoneResult&) {}
  virtual void OnMonitoring(const MonitoringResult&) {}
  virtual void OnLogin(const LoginResult&) {}
  virtual void OnCredits(const CreditsResult&) {}
  virtual void OnFailure(const FailureResult&) {}
  virtual void OnSettingsInForce(const SettingsInForce&) {}
  virtual void OnProgramSettingsInForce() {}
  // Midnight: the day's SMS count went back to 0.
  virtual void OnDayReset() {}
};

}  // namespace tarnwick
