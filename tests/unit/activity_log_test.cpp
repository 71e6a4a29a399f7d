#include "monitor/activity_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/utf8_path.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::FakeClock;
using testing::ReadFile;
using testing::TempDir;

class ActivityLogTest : public ::testing::Test {
 protected:
  FakeClock clock;
  Settings settings;
  TempDir dir;
  ActivityLog log{clock, settings, dir.path().string(), "/"};

  void SetUp() override {
    settings.Enable_log = 1;
    clock.now = LocalTime{2026, 12, 4, 10, 15, 7};
  }
};

TEST_F(ActivityLogTest, PaneIsNewestFirstAndFileOldestFirst) {
  log.WriteLog("Monitoring Started");
  log.WriteLog("CPU 93% exceed 75% for 1 times. TOP 1 : x (1%)");
  ASSERT_EQ(log.PaneLines().size(), 2u);
  EXPECT_EQ(log.PaneLines()[0],
            "2026-12-04 10:15:07 - CPU 93% exceed 75% for 1 times. TOP 1 : x (1%)");
  EXPECT_EQ(log.PaneLines()[1], "2026-12-04 10:15:07 - Monitoring Started");
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"),
            "2026-12-04 10:15:07 - Monitoring Started\r\n"
            "2026-12-04 10:15:07 - CPU 93% exceed 75% for 1 times. TOP 1 : x (1%)\r\n");
  EXPECT_EQ(log.PaneText(),
            "2026-12-04 10:15:07 - CPU 93% exceed 75% for 1 times. TOP 1 : x (1%)\r\n"
            "2026-12-04 10:15:07 - Monitoring Started\r\n");
}

TEST_F(ActivityLogTest, ALoneLineBreakIsWrittenWithoutTimeStamp) {
  log.WriteLog("\r\n");
  EXPECT_EQ(log.PaneLines()[0], "\r\n");
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"), "\r\n\r\n");
}

TEST_F(ActivityLogTest, LoggingSwitchedOffWritesThePaneOnlyAndNeverCatchesUp) {
  settings.Enable_log = 0;
  log.WriteLog("early");
  EXPECT_FALSE(std::filesystem::exists(dir / "Tarnwick_log_1204.txt"));
  settings.Enable_log = 1;
  log.WriteLog("late");
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"), "2026-12-04 10:15:07 - late\r\n");
  EXPECT_EQ(log.PaneLines().size(), 2u);
}

TEST_F(ActivityLogTest, ARunPastMidnightGoesToTheNextDaysFile) {
  clock.now = LocalTime{2026, 12, 4, 23, 59, 59};
  log.WriteLog("before");
  clock.Advance(2);
  log.WriteLog("after");
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"), "2026-12-04 23:59:59 - before\r\n");
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1205.txt"), "2026-12-05 00:00:01 - after\r\n");
}

TEST_F(ActivityLogTest, AMissingFolderLosesTheFileLineButNotThePane) {
  ActivityLog elsewhere(clock, settings, dir / "missing", "/");
  elsewhere.WriteLog("still shown");
  EXPECT_EQ(elsewhere.PaneLines().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST_F(ActivityLogTest, PaneKeepsTheNewestLinesWithinItsBound) {
  settings.Enable_log = 0;
  const size_t total = ActivityLog::kPaneLineLimit + 10;
  for (size_t i = 0; i < total; ++i) log.WriteLog("line " + std::to_string(i));
  EXPECT_EQ(log.PaneLines().size(), ActivityLog::kPaneLineLimit);
  EXPECT_EQ(log.PaneLines().front(), "2026-12-04 10:15:07 - line " + std::to_string(total - 1));
  EXPECT_EQ(log.PaneLines().back(), "2026-12-04 10:15:07 - line 10");
  EXPECT_EQ(log.LinesWritten(), total);
}

TEST_F(ActivityLogTest, EchoSeesEveryLine) {
  std::vector<std::string> echoed;
  log.SetEcho([&](const std::string& line) { echoed.push_back(line); });
  log.WriteLog("one");
  EXPECT_EQ(echoed, std::vector<std::string>{"2026-12-04 10:15:07 - one"});
}

// A log folder whose name is not ASCII (a home folder such as C:\Users\Jürgen): on Windows a
// UTF-8 path read in the ANSI code page names another folder and the log is lost.
TEST(ActivityLogFolderTest, WritesIntoAFolderWithANonAsciiName) {
  FakeClock clock;
  clock.now = LocalTime{2026, 12, 4, 10, 15, 7};
  Settings settings;
  settings.Enable_log = 1;
  TempDir dir;
  const std::filesystem::path folder = dir.path() / PathFromUtf8("monitor_l\xc3\xb6g");
  std::filesystem::create_directory(folder);
  const std::string separator(1, std::filesystem::path::preferred_separator);
  ActivityLog log{clock, settings, Utf8FromPath(folder), separator};
  log.WriteLog("Monitoring Started");
  EXPECT_EQ(ReadFile(Utf8FromPath(folder / "Tarnwick_log_1204.txt")),
            "2026-12-04 10:15:07 - Monitoring Started\r\n");
}

}  // namespace
}  // namespace tarnwick
