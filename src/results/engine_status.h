// The engine's state as plain values, for those who show it between decisions (the metrics, the
// Processes window).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "results/watch.h"

namespace tarnwick {

struct WatchStatus {
  int count = 0;             // consecutive samples at or above the threshold
  bool exceeding = false;    // a sample exceeded since the last normal sample
  bool alertActive = false;  // an alert was raised and no normal sample came since
  // The threshold in percent and the samples to an alert, as the watch reads them; none when
  // the watch cannot read them (and so judges nothing).
  std::optional<double> thresholdPercent;
  std::optional<int> alertSamples;
};

struct EngineStatus {
  bool monitoring = false;
  int processorCount = 1;
  int64_t totalMemoryBytes = 0;  // negative when the memory total cannot be read
  int64_t availableMemoryBytes = 0;
  int64_t usedMemoryBytes = 0;
  int judgedCpu = 0;  // the CPU value of the last sample, as the watch judged it
  std::array<WatchStatus, kWatchCount> watches{};
  bool hasProgramMonitor = false;  // this program can run it (it can terminate processes)
  bool programMonitorOn = false;   // and it is switched on
  bool killOn = false;             // the machine's watches terminate their top process
  int smsSentToday = 0;
  bool loggedIn = false;
  std::string credits;  // as the service reported them
  long cycles = 0;      // monitor cycles since start
};

// Where the engine's state can be read.
class IStatusSource {
 public:
  virtual ~IStatusSource() = default;
  virtual EngineStatus Status() const = 0;
};

}  // namespace tarnwick
