// Terminating a process.
#pragma once

#include <cstdint>

namespace tarnwick {

class IProcessKiller {
 public:
  virtual ~IProcessKiller() = default;
  // Terminates the process at once, but only while `pid` still names the process that started at
  // `startTicks` (ProcessInfo::startTicks), so a pid reused since the lookup is never hit; never
  // pid 1 or this program's own process. True when the termination was delivered.
  virtual bool KillProcess(int pid, uint64_t startTicks) = 0;
};

}  // namespace tarnwick
