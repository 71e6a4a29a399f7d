#include <windows.h>

#include "platform/local_time.h"

namespace tarnwick {
namespace {

// FILETIME of 1970-01-01 00:00:00 UTC, and its unit (100 ns) per second and per minute.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerMinute = 60 * kTicksPerSecond;

int64_t Ticks(const SYSTEMTIME& time) {
  FILETIME file{};
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  return static_cast<int64_t>((static_cast<uint64_t>(file.dwHighDateTime) << 32) |
                              file.dwLowDateTime);
}

LocalTime FromSystemTime(const SYSTEMTIME& t) {
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

ZonedTime LocalTimeAt(int64_t epochSeconds) {
  ZonedTime zoned;
  const int64_t ticks = kUnixEpochTicks + epochSeconds * kTicksPerSecond;
  if (ticks < 0) return zoned;
  FILETIME file{};
  file.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xffffffffu);
  file.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  SYSTEMTIME utc{};
  if (!FileTimeToSystemTime(&file, &utc)) return zoned;
  zoned.local = FromSystemTime(utc);
  // The zone set in Windows with its summer-time rules of that year (a zone's rules change over
  // the years; the zone's current rules would misplace older instants).
  DYNAMIC_TIME_ZONE_INFORMATION dynamic{};
  TIME_ZONE_INFORMATION zone{};
  const bool ofThatYear = GetDynamicTimeZoneInformation(&dynamic) != TIME_ZONE_ID_INVALID &&
                          GetTimeZoneInformationForYear(utc.wYear, &dynamic, &zone);
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(ofThatYear ? &zone : nullptr, &utc, &local)) return zoned;
  zoned.local = FromSystemTime(local);
  zoned.utcOffsetMinutes = static_cast<int>((Ticks(local) - ticks) / kTicksPerMinute);
  return zoned;
}

}  // namespace tarnwick
