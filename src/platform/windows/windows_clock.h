// The machine's clock in the time zone set in Windows (never the C runtime's reading of a TZ
// variable, which Windows does not use).
#pragma once

#include "common/clock.h"

namespace tarnwick {

class WindowsClock final : public IClock {
 public:
  LocalTime Now() override;
  // The user's short date and long time format (GetDateFormatEx, GetTimeFormatEx).
  std::string LocaleDateTime() override;
  void Sleep(std::chrono::milliseconds duration) override;
  long long MonotonicNs() override;
};

}  // namespace tarnwick
