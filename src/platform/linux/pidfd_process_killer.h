// Terminating a process on Linux through a pidfd, so that a pid reused since the lookup is never
// signalled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/process_killer.h"

namespace tarnwick {

// The start time (field 22 of /proc/[pid]/stat, clock ticks since boot) in a stat line; nullopt
// when the line cannot be parsed. The command name may hold blanks and parentheses.
std::optional<uint64_t> StatStartTicks(std::string_view statLine);

class PidfdProcessKiller final : public IProcessKiller {
 public:
  explicit PidfdProcessKiller(std::string procRoot = "/proc");

  // Opens a pidfd for `pid`, checks that the process behind it started at `startTicks` and only
  // then sends SIGKILL through the pidfd. False for pid 1 and this process (always), for a
  // process that is gone or is another one now, and when the signal is refused (EPERM for
  // another user's process without the right to signal it). True when SIGKILL was delivered;
  // the process ends at once but may stay listed until its parent collects it.
  bool KillProcess(int pid, uint64_t startTicks) override;

 private:
  std::string root_;
};

}  // namespace tarnwick
