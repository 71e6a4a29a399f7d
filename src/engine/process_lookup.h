// Finding a running process again by its identity, for the termination of the top process and
// of the watched program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/time_text.h"
#include "platform/process_list.h"

namespace tarnwick {

// Converts a creation time (seconds since the Unix epoch) to local calendar time.
using EpochToLocalTime = LocalTime (*)(int64_t epochSeconds);

// The machine's local time zone.
LocalTime LocalTimeOfEpoch(int64_t epochSeconds);

// A process's name with the platform's executable suffix ("firefox" + ".exe") equals `name`,
// ASCII case ignored, as the system's process names compare. An empty name matches nothing.
bool IsProgramNamed(const ProcessInfo& process, std::string_view executableSuffix,
                    std::string_view name);

// A process's identity: pid and start ticks, which tell it from a later process with its pid.
struct FoundProcess {
  int pid = 0;
  uint64_t startTicks = 0;

  bool operator==(const FoundProcess&) const = default;
};

class ProcessLookup {
 public:
  // "2" in ownerSidResult: the process belongs to a system service account.
  static constexpr std::string_view kServiceOwner = "2";
  static constexpr std::string_view kOrdinaryOwner = "0";

  ProcessLookup(IProcessLister& lister, std::string executableSuffix,
                EpochToLocalTime toLocal = &LocalTimeOfEpoch);

  // Scans the processes now and tells whether the process that started at `startTicks` still
  // runs as `pid` (a zombie does not). On a hit it sets procCreateTime, ownerSidResult and
  // found(); on a miss, or when the scan fails, they keep their earlier values. A namesake is
  // never taken instead: names are not unique.
  bool FindProcess(int pid, uint64_t startTicks);

  const FoundProcess& found() const { return found_; }
  // The process the last successful lookup found, as its scan showed it.
  const ProcessInfo& foundInfo() const { return foundInfo_; }
  const std::string& executableSuffix() const { return suffix_; }

  // "mm-dd hh:mm:ss", local time, of the process found by the last successful lookup.
  std::string procCreateTime;
  // kServiceOwner or kOrdinaryOwner for that process; callers may reset it before a lookup.
  std::string ownerSidResult;

 private:
  IProcessLister& lister_;
  std::string suffix_;
  EpochToLocalTime toLocal_;
  FoundProcess found_;
  ProcessInfo foundInfo_;
  ProcessSnapshot snapshot_;  // kept to reuse its storage
};

}  // namespace tarnwick
