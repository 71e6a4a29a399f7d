// Local time for everything that stamps, schedules or measures; tests inject their own.
#pragma once

#include <chrono>
#include <string>

#include "common/time_text.h"

namespace tarnwick {

class IClock {
 public:
  virtual ~IClock() = default;
  // The current local time.
  virtual LocalTime Now() = 0;
  // The current date and time in the user's locale (short date, blank, long time), as the web
  // service requests carry it.
  virtual std::string LocaleDateTime() = 0;
  // Blocks the calling thread for the given time (a fake clock advances instead).
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
  // A monotonic reading in nanoseconds, for measuring intervals.
  virtual long long MonotonicNs() = 0;
};

// The machine's clock in the process's time zone.
class SystemClock final : public IClock {
 public:
  LocalTime Now() override;
  std::string LocaleDateTime() override;
  void Sleep(std::chrono::milliseconds duration) override;
  long long MonotonicNs() override;
};

}  // namespace tarnwick
