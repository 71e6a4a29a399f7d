// Local date and time, and the time texts of the log, labels and alert messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// A local calendar time on the 24-hour clock.
struct LocalTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;

  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

std::string HhMmSs(const LocalTime& t);      // "hh:mm:ss"
std::string HhMm(const LocalTime& t);        // "hh:mm"
std::string MmDdHhMmSs(const LocalTime& t);  // "mm-dd hh:mm:ss"
std::string YmdHms(const LocalTime& t);      // "yyyy-mm-dd hh:mm:ss"
std::string HhMmSsYmd(const LocalTime& t);   // "hh:mm:ss yyyy-mm-dd"
std::string Mmdd(const LocalTime& t);        // "mmdd"

// RFC 5322 date of a local time whose offset from UTC is `utcOffsetMinutes`, with English day and
// month names whatever the locale says: "Tue, 14 Nov 2023 23:13:20 +0100".
std::string MailDateText(const LocalTime& t, int utcOffsetMinutes);

// Seconds since midnight of an "hh:mm:ss" text; nullopt when it is not one.
std::optional<int> SecondsOfDay(std::string_view hhmmss);

// Seconds from `from` to `to`, both read as times of the same day: negative when a run crossed
// midnight (23:59:50 to 00:00:20 is -86370). nullopt when either text is not a time.
std::optional<int> SecondsBetween(std::string_view from, std::string_view to);

}  // namespace tarnwick
