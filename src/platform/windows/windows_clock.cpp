#include "platform/windows/windows_clock.h"

#include <windows.h>

#include <thread>

#include "platform/windows/wide_text.h"

namespace tarnwick {

LocalTime WindowsClock::Now() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string WindowsClock::LocaleDateTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  const int dateLength =
      GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 128, nullptr);
  const int timeLength = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, time, 128);
  // The lengths count the terminating zero.
  std::wstring text(date, dateLength > 0 ? static_cast<size_t>(dateLength - 1) : 0);
  text += L' ';
  text.append(time, timeLength > 0 ? static_cast<size_t>(timeLength - 1) : 0);
  return win::Utf8(text);
}

void WindowsClock::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

long long WindowsClock::MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace tarnwick
