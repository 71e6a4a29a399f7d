// This process's own figures, as the process_* metrics of every Prometheus exporter give them.
#pragma once

#include <optional>

namespace tarnwick {

// Each figure is absent when the system would not tell it.
struct ProcessSelfFigures {
  std::optional<double> cpuSeconds;        // user and system CPU time since the start, seconds
  std::optional<double> residentBytes;     // resident set (working set on Windows), bytes
  std::optional<double> virtualBytes;      // virtual size (private bytes on Windows), bytes
  std::optional<double> openFds;           // open file descriptors (handles on Windows)
  std::optional<double> maxFds;            // the soft limit of open file descriptors
  std::optional<double> startTimeSeconds;  // start time, seconds since the Unix epoch
};

class IProcessSelf {
 public:
  virtual ~IProcessSelf() = default;
  // Reads the figures now; called on the metrics endpoint's threads, never on the UI thread.
  virtual ProcessSelfFigures Read() = 0;
};

}  // namespace tarnwick
