// The time axis of the History window's graphs: ticks at round local times (1, 2, 5, 10, 15 or 30
// minutes, hours, days, weeks), at most kMostTimeTicks of them, each with a label no other tick of
// the axis has. Both desktop programs draw these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

inline constexpr int kMostTimeTicks = 8;

struct TimeTick {
  int64_t t = 0;      // history seconds, a multiple of the step in local time
  std::string label;  // "hh:mm", "mm-dd hh:mm" when the axis spans more than a day, or "mm-dd"
};

// The ticks within [from, to) (history seconds), oldest first; none for an empty axis.
std::vector<TimeTick> TimeAxisTicks(int64_t from, int64_t to);

}  // namespace tarnwick
