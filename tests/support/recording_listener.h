// Records every decision the engine announces, in order, for tests that compare what a listener
// did with what the engine decided.
#pragma once

#include <string>
#include <vector>

#include "results/engine_listener.h"

namespace tarnwick::testing {

class RecordingListener final : public IEngineListener {
 public:
  std::vector<SampleResult> samples;
  std::vector<ExceedingResult> exceedings;
  std::vector<AlertResult> alerts;
  std::vector<BackToNormalResult> normals;
  std::vector<TerminationResult> terminations;
  std::vector<KillPickResult> picks;
  std::vector<LoginResult> logins;
  std::vector<FailureResult> failures;
  std::vector<MonitoringResult> monitoring;
  std::vector<ProgramStepResult> programSteps;

  void OnSample(const SampleResult& r) override { samples.push_back(r); }
  void OnExceeding(const ExceedingResult& r) override { exceedings.push_back(r); }
  void OnAlert(const AlertResult& r) override { alerts.push_back(r); }
  void OnBackToNormal(const BackToNormalResult& r) override { normals.push_back(r); }
  void OnTermination(const TerminationResult& r) override { terminations.push_back(r); }
  void OnKillPick(const KillPickResult& r) override { picks.push_back(r); }
  void OnLogin(const LoginResult& r) override { logins.push_back(r); }
  void OnFailure(const FailureResult& r) override { failures.push_back(r); }
  void OnMonitoring(const MonitoringResult& r) override { monitoring.push_back(r); }
  void OnProgramStep(const ProgramStepResult& r) override { programSteps.push_back(r); }

  // The latest pick of a machine watch; a default verdict before any.
  KillVerdict LatestPick(Watch watch) const {
    for (auto it = picks.rbegin(); it != picks.rend(); ++it) {
      if (it->watch == watch) return it->verdict;
    }
    return {};
  }
};

}  // namespace tarnwick::testing
