// What the metrics endpoint serves: the state of the monitor as the last cycle (or the last
// switch of monitoring) left it, with the counters of its events. Plain values, copied whole
// between the UI thread and the endpoint's threads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "results/watch.h"

namespace tarnwick {

struct WatchMetrics {
  int consecutive = 0;                   // consecutive samples at or above the threshold
  std::optional<double> thresholdRatio;  // the threshold (85 % is 0.85); none when unreadable
  std::optional<int> alertSamples;       // consecutive samples that raise an alert
  bool alertActive = false;              // from the alert until the next sample under it
  // The process the alert names, while the watch is over its threshold or alerted: before the
  // alert the one the run so far would name, from the alert its tally's winner. One at a time,
  // replaced by the next.
  std::optional<std::string> topName;
  double topShareRatio = 0;  // its share of the whole machine (50 % is 0.5)
  // The winner's pid, only from the alert until the watch's next sample under the threshold.
  std::optional<int> alertTopPid;
  uint64_t alertsRaised = 0;
  uint64_t alertsSent = 0;  // those raised that went to the web service; the rest were suppressed
  uint64_t killsSucceeded = 0;
  uint64_t killsFailed = 0;
  uint64_t killsRefused = 0;
};

struct MetricsSnapshot {
  bool monitoring = false;
  std::optional<double> cpuUsageRatio;  // none before the first cycle and when unreadable
  std::optional<double> memoryTotalBytes;
  std::optional<double> memoryAvailableBytes;
  std::optional<double> memoryUsedBytes;
  std::array<WatchMetrics, kWatchCount> watches;
  uint64_t smsSent = 0;  // send-SMS requests made for alerts and back-to-normal notices
  double smsCredits = 0;
  bool loggedIn = false;  // the last login the engine announced was accepted
  uint64_t mailFailures = 0;
  uint64_t cycles = 0;
  std::optional<double> lastCycleSeconds;
};

// The program and its version, for tarnwick_build_info.
struct MetricsIdentity {
  std::string program;  // "tarnwick" or "tarnwickd"
  std::string version;  // "4.3"
};

}  // namespace tarnwick
