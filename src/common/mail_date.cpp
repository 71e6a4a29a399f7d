#include "common/mail_date.h"

#include <cstddef>
#include <cstdio>

namespace tarnwick {

std::string MailDateText(const LocalTime& t, int utcOffsetMinutes) {
  static constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Day of the week by the days-from-civil count (1970-01-01 was a Thursday).
  const int y = t.month <= 2 ? t.year - 1 : t.year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
  const auto weekday = static_cast<size_t>(((days % 7) + 11) % 7);
  const int absMinutes = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
  const auto month = static_cast<size_t>(t.month >= 1 && t.month <= 12 ? t.month - 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDayNames[weekday],
                t.day, kMonthNames[month], t.year, t.hour, t.minute, t.second,
                utcOffsetMinutes < 0 ? '-' : '+', absMinutes / 60, absMinutes % 60);
  return text;
}

}  // namespace tarnwick
