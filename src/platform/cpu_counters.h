// Machine-wide processor time counters, the raw input of the CPU usage sampler.
#pragma once

#include <cstdint>

namespace tarnwick {

struct CpuTimes {
  // Idle time summed over all processors (idle and waiting for I/O), in the source's ticks.
  uint64_t idle = 0;
  // All time summed over all processors, in the same ticks; total / processors is the elapsed
  // time of one processor.
  uint64_t total = 0;
  // Processors the two sums cover (at least 1 on success).
  uint32_t processors = 0;
};

class ICpuCounterSource {
 public:
  virtual ~ICpuCounterSource() = default;
  // Reads the counters now; false when they cannot be read (`times` is then unspecified).
  virtual bool Read(CpuTimes& times) = 0;
};

}  // namespace tarnwick
