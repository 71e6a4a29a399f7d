#include "common/clock.h"

#include <ctime>
#include <thread>

namespace tarnwick {
namespace {

std::tm LocalTm() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  return tm;
}

}  // namespace

LocalTime SystemClock::Now() {
  std::tm tm = LocalTm();
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string SystemClock::LocaleDateTime() {
  std::tm tm = LocalTm();
  char buffer[128];
  size_t n = std::strftime(buffer, sizeof buffer, "%x %X", &tm);
  return std::string(buffer, n);
}

void SystemClock::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

long long SystemClock::MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace tarnwick
