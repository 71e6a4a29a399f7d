#include "history/time_axis.h"

#include <array>
#include <cstdio>

#include "domain/history_time.h"

namespace tarnwick {
namespace {

constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 86400;
// The steps a reader counts in, smallest first.
constexpr std::array<int64_t, 17> kSteps{
    kMinute,  2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour,    2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   kDay,
    2 * kDay, 7 * kDay,    14 * kDay,   28 * kDay,    56 * kDay};

std::string Label(int64_t t, int64_t step, int64_t span) {
  const LocalTime at = FromHistorySeconds(t);
  char buffer[32];
  if (step >= kDay) {
    std::snprintf(buffer, sizeof buffer, "%02d-%02d", at.month, at.day);
  } else if (span > kDay) {
    // Over more than a day the same time of day comes twice: the date tells them apart.
    std::snprintf(buffer, sizeof buffer, "%02d-%02d %02d:%02d", at.month, at.day, at.hour,
                  at.minute);
  } else {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", at.hour, at.minute);
  }
  return buffer;
}

}  // namespace

std::vector<TimeTick> TimeAxisTicks(int64_t from, int64_t to) {
  std::vector<TimeTick> ticks;
  if (to <= from) return ticks;
  const int64_t span = to - from;
  int64_t step = kSteps.back();
  for (const int64_t candidate : kSteps) {
    if (span / candidate <= kMostTimeTicks) {
      step = candidate;
      break;
    }
  }
  // Local midnight is a multiple of a day in history seconds; weeks count from a midnight too.
  int64_t first = (from + step - 1) / step * step;
  if (from < 0) first = from / step * step;
  for (int64_t t = first; t < to; t += step) ticks.push_back({t, Label(t, step, span)});
  return ticks;
}

}  // namespace tarnwick
