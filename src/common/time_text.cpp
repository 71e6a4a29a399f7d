#include "common/time_text.h"

#include <cstdio>

namespace tarnwick {
namespace {

std::string Two(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string Date(const LocalTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buffer;
}

}  // namespace

std::string HhMmSs(const LocalTime& t) {
  return Two(t.hour) + ":" + Two(t.minute) + ":" + Two(t.second);
}

std::string HhMm(const LocalTime& t) {
  return Two(t.hour) + ":" + Two(t.minute);
}

std::string MmDdHhMmSs(const LocalTime& t) {
  return Two(t.month) + "-" + Two(t.day) + " " + HhMmSs(t);
}

std::string YmdHms(const LocalTime& t) {
  return Date(t) + " " + HhMmSs(t);
}

std::string HhMmSsYmd(const LocalTime& t) {
  return HhMmSs(t) + " " + Date(t);
}

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

std::string Mmdd(const LocalTime& t) {
  return Two(t.month) + Two(t.day);
}

std::optional<int> SecondsOfDay(std::string_view text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
  int parts[3];
  for (int p = 0; p < 3; ++p) {
    char hi = text[p * 3];
    char lo = text[p * 3 + 1];
    if (hi < '0' || hi > '9' || lo < '0' || lo > '9') return std::nullopt;
    parts[p] = (hi - '0') * 10 + (lo - '0');
  }
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

std::optional<int> SecondsBetween(std::string_view from, std::string_view to) {
  auto a = SecondsOfDay(from);
  auto b = SecondsOfDay(to);
  if (!a || !b) return std::nullopt;
  return *b - *a;
}

}  // namespace tarnwick
