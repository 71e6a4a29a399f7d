// Terminating a process.
#pragma once

#include <cstdint>

namespace tarnwick {

class IProcessKiller {
 public:
  virtual ~IProcessKiller() = default;
  // Terminates the process at once, but only while `pid` still names the live process that
  // started at `startTicks` (ProcessInfo::startTicks), so a pid reused since the lookup is never
  // hit; never pid 1 or this program's own process. True only when that process was signalled
  // and has ended, all its threads, within a short wait (a few seconds at most); a process that
  // had already ended (a zombie), refused the termination or outlived the wait is a failure.
  virtual bool KillProcess(int pid, uint64_t startTicks) = 0;
};

}  // namespace tarnwick
