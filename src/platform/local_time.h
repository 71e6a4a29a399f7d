// The system's time zone: local time of an instant, with its offset from UTC.
#pragma once

#include <cstdint>

#include "common/time_text.h"

namespace tarnwick {

struct ZonedTime {
  LocalTime local;
  // Local time minus UTC in minutes at that instant (summer time included): +60 in Berlin in
  // winter, -300 in New York.
  int utcOffsetMinutes = 0;
};

// The local time of `epochSeconds` (seconds since 1970-01-01 UTC) in the system's time zone: the
// TZ rules on POSIX, the zone set in Windows on Windows (a TZ variable there is not Windows's).
// An instant the system cannot convert comes back as UTC with offset 0.
ZonedTime LocalTimeAt(int64_t epochSeconds);

}  // namespace tarnwick
