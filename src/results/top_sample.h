// The process on top at one exceeding sample of a watch, as the ranking named it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

// Its name (with the platform's suffix) for the texts, and pid and start time for the
// termination, since names are not unique.
struct TopSample {
  std::string name;  // empty when no process led that sample
  int pid = 0;
  uint64_t startTicks = 0;
  // Its share of the whole machine in percent: the CPU over the measured interval, or the
  // working set of the total memory (0 when the total is not known).
  double share = 0;
  // The name is the process's own claim (its task name), not its executable's file name.
  bool nameClaimed = false;

  bool SameProcess(const TopSample& other) const {
    return pid == other.pid && startTicks == other.startTicks;
  }
};

// The top processes of the samples since the last alert or normal sample, oldest first.
using TopHistory = std::vector<TopSample>;

}  // namespace tarnwick
