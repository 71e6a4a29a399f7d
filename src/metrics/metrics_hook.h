// How the monitor cycle, the termination and the program monitor hand their events to the
// metrics. The main window holds a pointer that may be null: without metrics nothing is counted.
// Every call comes on the UI thread and does no more than count.
#pragma once

#include <string>

namespace tarnwick {

// The four watches: the machine's CPU and memory, and the watched program's CPU and memory.
enum class MetricsWatch { Cpu, Memory, ProgramCpu, ProgramMemory };
inline constexpr int kMetricsWatchCount = 4;

// What became of the termination due at an alert.
enum class TerminationOutcome {
  Succeeded,  // the process was terminated
  Failed,     // it was tried and the process lives on
  Refused,    // the kill was on, but nothing was tried: the kill rules said no, the program
              // itself was on top, or the process had ended
};

class IMetricsHook {
 public:
  virtual ~IMetricsHook() = default;
  // The top process of an exceeding sample of a watch (the measured instance of the watched
  // program for the program's watches); `pid` 0 when not known.
  virtual void TopProcess(MetricsWatch watch, const std::string& name, int pid) = 0;
  // A watch raised an alert; `sent` when a request carrying it went to the web service.
  virtual void AlertRaised(MetricsWatch watch, bool sent) = 0;
  // The termination at an alert of a watch whose kill switch is on.
  virtual void Termination(MetricsWatch watch, TerminationOutcome outcome) = 0;
  // A monitor cycle (both watches and the program monitor) ended; it took `durationNs`.
  virtual void CycleDone(long long durationNs) = 0;
  // Monitoring was switched on or off.
  virtual void MonitoringChanged() = 0;
};

}  // namespace tarnwick
