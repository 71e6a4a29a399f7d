// Machine-wide processor time counters from /proc/stat.
#pragma once

#include <string>
#include <vector>

#include "platform/cpu_counters.h"
#include "platform/linux/proc_text.h"

namespace tarnwick {

// Reads the "cpu" line of <procRoot>/stat: idle = idle + iowait, total = user + nice + system +
// idle + iowait + irq + softirq + steal (guest and guest_nice are already inside user and nice);
// processors = number of "cpuN" lines.
class ProcCpuCounters final : public ICpuCounterSource {
 public:
  explicit ProcCpuCounters(std::string procRoot = "/proc");
  bool Read(CpuTimes& times) override;

 private:
  proc::HeldFile file_;
  std::vector<char> buffer_;  // kept between reads; grows with the file
};

}  // namespace tarnwick
