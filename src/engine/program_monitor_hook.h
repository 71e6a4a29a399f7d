// How the main window reaches the program monitor.
#pragma once

namespace tarnwick {

class IProgramMonitor {
 public:
  virtual ~IProgramMonitor() = default;
  // The program monitor is switched on (pgmMonitorF not 0).
  virtual bool Enabled() const = 0;
  // One cycle of the watch of the named program.
  virtual void MonitorProgram() = 0;
  // Monitoring is switched on: the start times and counts begin afresh. `fullReset` (the Start
  // button) also clears both alert flags and the value and count labels.
  virtual void ResetForStart(bool fullReset) = 0;
};

}  // namespace tarnwick
