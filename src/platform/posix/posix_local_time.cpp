#include <ctime>

#include "platform/local_time.h"

namespace tarnwick {

ZonedTime LocalTimeAt(int64_t epochSeconds) {
  const auto when = static_cast<std::time_t>(epochSeconds);
  std::tm tm{};
  ZonedTime zoned;
  if (localtime_r(&when, &tm) != nullptr) {
    zoned.utcOffsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
  } else if (gmtime_r(&when, &tm) == nullptr) {
    return zoned;
  }
  zoned.local =
      LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return zoned;
}

}  // namespace tarnwick
