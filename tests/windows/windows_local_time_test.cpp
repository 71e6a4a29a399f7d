// Local time from the zone Windows is set to. ctest runs these with TZ=Europe/Berlin in the
// environment: Wine takes its Windows zone from it, while the C runtime reads the same variable
// as a POSIX rule and gets it wrong, so a conversion through localtime_s would fail here.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "common/time_text.h"
#include "platform/local_time.h"
#include "platform/windows/windows_clock.h"

namespace tarnwick {
namespace {

class BerlinTime : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    if (zone == nullptr || std::string(zone) != "Europe/Berlin") {
      GTEST_SKIP() << "runs with TZ=Europe/Berlin only";
    }
  }
};

TEST_F(BerlinTime, LocalTimeAndOffsetFollowTheWindowsZoneInWinterAndSummer) {
  struct Case {
    int64_t when;
    LocalTime local;
    int offset;
    const char* mailDate;
  };
  const Case cases[] = {
      {1700000000, {2023, 11, 14, 23, 13, 20}, 60, "Tue, 14 Nov 2023 23:13:20 +0100"},
      {1690000000, {2023, 7, 22, 6, 26, 40}, 120, "Sat, 22 Jul 2023 06:26:40 +0200"},
      // The last second of summer time and the first of winter time in 2023.
      {1698541199, {2023, 10, 29, 2, 59, 59}, 120, "Sun, 29 Oct 2023 02:59:59 +0200"},
      {1698541200, {2023, 10, 29, 2, 0, 0}, 60, "Sun, 29 Oct 2023 02:00:00 +0100"},
  };
  for (const Case& c : cases) {
    const ZonedTime zoned = LocalTimeAt(c.when);
    EXPECT_EQ(YmdHms(zoned.local), YmdHms(c.local)) << c.when;
    EXPECT_EQ(zoned.utcOffsetMinutes, c.offset) << c.when;
    EXPECT_EQ(MailDateText(zoned.local, zoned.utcOffsetMinutes), c.mailDate) << c.when;
  }
}

TEST_F(BerlinTime, TheClockTellsTheSameLocalTime) {
  WindowsClock clock;
  const LocalTime now = clock.Now();
  const LocalTime expected = LocalTimeAt(static_cast<int64_t>(std::time(nullptr))).local;
  EXPECT_EQ(now.year, expected.year);
  EXPECT_EQ(now.month, expected.month);
  EXPECT_EQ(now.day, expected.day);
  EXPECT_NEAR(now.hour * 3600 + now.minute * 60 + now.second,
              expected.hour * 3600 + expected.minute * 60 + expected.second, 2);
  EXPECT_FALSE(clock.LocaleDateTime().empty());
}

}  // namespace
}  // namespace tarnwick
