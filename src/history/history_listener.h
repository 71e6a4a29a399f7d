// The usage history told what the engine decided: each cycle's sample, the top processes of
// exceeding samples, the switches of monitoring, the alerts and back-to-normals with the
// dispatcher's outcome, and the terminations.
#pragma once

#include "history/history_recorder_hook.h"
#include "results/engine_listener.h"

namespace tarnwick {

class HistoryListener final : public IEngineListener {
 public:
  // The recorder outlives the listener.
  explicit HistoryListener(IHistoryRecorder& recorder) : recorder_(recorder) {}

  void OnSample(const SampleResult& sample) override;
  void OnExceeding(const ExceedingResult& exceeding) override;
  void OnMonitoring(const MonitoringResult& monitoring) override;
  void OnAlert(const AlertResult& alert) override;
  void OnBackToNormal(const BackToNormalResult& normal) override;
  void OnTermination(const TerminationResult& termination) override;

 private:
  IHistoryRecorder& recorder_;
};

// The history's name of a watch.
HistoryWatch HistoryWatchOf(Watch watch);

}  // namespace tarnwick
