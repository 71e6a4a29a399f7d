// How the cycle timer reaches the program monitor.
#pragma once

namespace tarnwick {

class IProgramMonitor {
 public:
  virtual ~IProgramMonitor() = default;
  // The program monitor is switched on (pgmMonitorF not 0).
  virtual bool Enabled() const = 0;
  // One cycle of the watch of the named program.
  virtual void MonitorProgram() = 0;
};

}  // namespace tarnwick
