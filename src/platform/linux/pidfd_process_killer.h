// Terminating a process on Linux through a pidfd, so that a pid reused since the lookup is never
// signalled.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/process_killer.h"

namespace tarnwick {

class PidfdProcessKiller final : public IProcessKiller {
 public:
  // How long a termination waits for the process to end. SIGKILL ends a process within
  // milliseconds unless it is stuck in the kernel (a hung NFS read); that one is a failure.
  static constexpr std::chrono::milliseconds kExitWait{2000};

  explicit PidfdProcessKiller(std::string procRoot = "/proc",
                              std::chrono::milliseconds exitWait = kExitWait);

  // Opens a pidfd for `pid`, checks that the process behind it started at `startTicks` (clock
  // ticks since boot) and has not exited already, sends SIGKILL through the pidfd and waits up
  // to the exit wait until it has ended, every thread of it. False for pid 1 and this process
  // (always), for a process that is gone, a zombie or another one now, when the signal is
  // refused (EPERM for another user's process without the right to signal it), and when it has
  // not ended in time. A process whose main thread has ended while others run is live.
  bool KillProcess(int pid, uint64_t startTicks) override;

 private:
  std::string root_;
  std::chrono::milliseconds exitWait_;
};

}  // namespace tarnwick
