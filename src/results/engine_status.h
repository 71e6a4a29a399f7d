// The engine's state as plain values, for those who show it between decisions (the metrics).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "results/watch.h"

namespace tarnwick {

struct WatchStatus {
  int count = 0;             // consecutive samples at or above the threshold
  bool exceeding = false;    // a sample exceeded since the last normal sample
  bool alertActive = false;  // an alert was raised and no normal sample came since
};

struct EngineStatus {
  bool monitoring = false;
  int64_t totalMemoryBytes = 0;  // negative when the memory total cannot be read
  int64_t availableMemoryBytes = 0;
  int64_t usedMemoryBytes = 0;
  int judgedCpu = 0;  // the CPU value of the last sample, as the watch judged it
  std::array<WatchStatus, kWatchCount> watches{};
  bool programMonitorOn = false;  // the program monitor runs (the program can terminate)
  int smsSentToday = 0;
  bool loggedIn = false;
  std::string credits;  // as the service reported them
  long cycles = 0;      // monitor cycles since start
};

}  // namespace tarnwick
