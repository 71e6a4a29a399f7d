#include "domain/history_time.h"

#include <chrono>
#include <limits>

namespace tarnwick {
namespace {

constexpr int64_t kDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

int64_t ToHistorySeconds(const LocalTime& t) {
  using namespace std::chrono;
  const sys_days day = year{t.year} / month{static_cast<unsigned>(t.month)} /
                       std::chrono::day{static_cast<unsigned>(t.day)};
  return static_cast<int64_t>(day.time_since_epoch().count()) * kDay + t.hour * 3600 +
         t.minute * 60 + t.second;
}

LocalTime FromHistorySeconds(int64_t seconds) {
  using namespace std::chrono;
  const int64_t days = FloorDiv(seconds, kDay);
  const int64_t rest = seconds - days * kDay;
  const year_month_day ymd{sys_days{std::chrono::days{days}}};
  LocalTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

std::string HistoryTimeText(int64_t seconds) {
  return YmdHms(FromHistorySeconds(seconds));
}

std::optional<int64_t> ParseDuration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int64_t unit = 1;
  switch (text.back()) {
    case 's':
      unit = 1;
      text.remove_suffix(1);
      break;
    case 'm':
      unit = 60;
      text.remove_suffix(1);
      break;
    case 'h':
      unit = 3600;
      text.remove_suffix(1);
      break;
    case 'd':
      unit = kDay;
      text.remove_suffix(1);
      break;
    case 'w':
      unit = 7 * kDay;
      text.remove_suffix(1);
      break;
    default:
      break;
  }
  if (text.empty() || text.size() > 9) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value <= 0) return std::nullopt;
  return value * unit;
}

}  // namespace tarnwick
