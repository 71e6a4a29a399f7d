// Total CPU usage of the machine between two queries.
#pragma once

#include <cstdint>

#include "platform/cpu_counters.h"

namespace tarnwick {

class CpuSampler {
 public:
  explicit CpuSampler(ICpuCounterSource& source) : source_(source) {}

  // Takes the first reading; when it fails the old values stay 0 and the first Query measures
  // from zero.
  void Initialize();

  // Busy share of all processors since the previous query, in whole percent rounded half up
  // (ratio idle/elapsed held to four decimals); -1 when the counters cannot be read, in which
  // case the previous reading is kept.
  int Query();

 private:
  ICpuCounterSource& source_;
  uint64_t oldIdle_ = 0;
  uint64_t oldTotal_ = 0;
};

// The arithmetic of one query: idle and total differences over `processors` processors.
int CpuBusyPercent(uint64_t idleDelta, uint64_t totalDelta, uint32_t processors);

}  // namespace tarnwick
