#include "common/time_text.h"

#include <string>

namespace tarnwick {
namespace {

// Zero-padded to `width` digits like "%0*d", without the formatting machinery: the cycle writes
// several of these every second.
void AppendPadded(std::string& out, int value, int width) {
  if (value < 0) {
    out += std::to_string(value);
    return;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += digits[--n];
}

std::string Two(int value) {
  std::string out;
  AppendPadded(out, value, 2);
  return out;
}

std::string Date(const LocalTime& t) {
  std::string out;
  out.reserve(10);
  AppendPadded(out, t.year, 4);
  out += '-';
  AppendPadded(out, t.month, 2);
  out += '-';
  AppendPadded(out, t.day, 2);
  return out;
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
