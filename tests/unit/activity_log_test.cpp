#include "engine/activity_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_file_system.h"
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
  testing::FakeFileSystem files;
  ActivityLog log{clock, settings, files, dir.path().string(), "/"};

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

TEST_F(ActivityLogTest, AFolderRemovedWhileRunningIsMadeAgain) {
  ActivityLog elsewhere(clock, settings, files, dir / "missing", "/");
  elsewhere.WriteLog("still written");
  EXPECT_EQ(elsewhere.PaneLines().size(), 1u);
  EXPECT_EQ(ReadFile(dir / "missing/Tarnwick_log_1204.txt"),
            "2026-12-04 10:15:07 - still written\r\n");
}

// A process name or server reply with line breaks cannot start log lines of its own.
TEST_F(ActivityLogTest, LineBreaksInsideAMessageBecomeBlanks) {
  const struct {
    std::string message;
    std::string line;
  } cases[] = {
      {"TOP 1 : x\r\nBcc: evil@x.org (5%)",
       "2026-12-04 10:15:07 - TOP 1 : x  Bcc: evil@x.org (5%)"},
      {"a\nb\rc", "2026-12-04 10:15:07 - a b c"},
      {"\r\n\r\n", "2026-12-04 10:15:07 -     "},
      {"ends\r\n", "2026-12-04 10:15:07 - ends  "},
  };
  std::string file;
  for (const auto& c : cases) {
    log.WriteLog(c.message);
    EXPECT_EQ(log.PaneLines().front(), c.line);
    file += c.line + "\r\n";
  }
  // The bare separator line stays as it is.
  log.WriteLog("\r\n");
  file += "\r\n\r\n";
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"), file);
}

// A process name, a server's reply or a setting cannot steer the terminal that shows the log (a
// colour, the window title, a cleared screen), reorder what the reader sees, or hide bytes in
// malformed UTF-8: each such character is a "?" in the pane, the file and the echo alike.
TEST_F(ActivityLogTest, ControlCharactersAndBidiMarksReachNoReaderOfTheLog) {
  const struct {
    std::string message;
    std::string shown;
  } cases[] = {
      {"red \x1b[31mALERT\x1b[0m", "red ?[31mALERT?[0m"},
      {"\x1b]0;owned\x07title", "?]0;owned?title"},
      {"csi \xc2\x9b"
       "2J and nel \xc2\x85",
       "csi ?2J and nel ?"},
      {"invoice\xe2\x80\xaegpj.exe", "invoice?gpj.exe"},
      {"isolate \xe2\x81\xa6x\xe2\x81\xa9 mark \xe2\x80\x8f", "isolate ?x? mark ?"},
      {"para\xe2\x80\xa8graph", "para?graph"},
      {"lone \x9b byte, cut \xe2\x80", "lone ? byte, cut ??"},
      {std::string("nul\0 del\x7f tab\t bell\a", 20), "nul? del? tab? bell?"},
      {"Grüße 🔥 – ok", "Grüße 🔥 – ok"},
  };
  std::vector<std::string> echoed;
  log.SetEcho([&](const std::string& line) { echoed.push_back(line); });
  std::string file;
  for (const auto& c : cases) {
    log.WriteLog(c.message);
    const std::string line = "2026-12-04 10:15:07 - " + c.shown;
    EXPECT_EQ(log.PaneLines().front(), line);
    EXPECT_EQ(echoed.back(), line);
    file += line + "\r\n";
  }
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"), file);
}

// A disk that fills up in the middle of a line: what reached the file is ended before the next
// line goes into it, so each line of the file is one event, and no empty line is added.
TEST_F(ActivityLogTest, ALineCutShortByAFullDiskIsEndedBeforeTheNextLine) {
  const std::string cut = "2026-12-04 10:15:07 - cut short\r\n";
  const std::string next = "2026-12-04 10:15:07 - next\r\n";
  const struct {
    size_t room;  // bytes of the first line that fit
    std::string file;
  } cases[] = {
      {0, next},
      {10, "2026-12-04\r\n" + next},
      {cut.size() - 1, cut + next},
      {cut.size(), cut + next},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].room);
    const std::string folder = dir / std::to_string(i);
    ActivityLog own(clock, settings, files, folder, "/");
    own.EnsureFolder();
    files.appendRoom = cases[i].room;
    ::testing::internal::CaptureStderr();
    own.WriteLog("cut short");
    ::testing::internal::GetCapturedStderr();
    files.appendRoom.reset();
    own.WriteLog("next");
    EXPECT_EQ(ReadFile(folder + "/Tarnwick_log_1204.txt"), cases[i].file);
  }

  // A line cut short at midnight is ended in its own file; the next day's file starts clean.
  ActivityLog late(clock, settings, files, dir / "late", "/");
  late.EnsureFolder();
  files.appendRoom = 5;
  ::testing::internal::CaptureStderr();
  late.WriteLog("cut");
  ::testing::internal::GetCapturedStderr();
  files.appendRoom.reset();
  clock.now = LocalTime{2026, 12, 5, 0, 0, 1};
  late.WriteLog("new day");
  clock.now = LocalTime{2026, 12, 4, 23, 59, 59};
  late.WriteLog("late line of yesterday");
  EXPECT_EQ(ReadFile(dir / "late/Tarnwick_log_1205.txt"), "2026-12-05 00:00:01 - new day\r\n");
  EXPECT_EQ(ReadFile(dir / "late/Tarnwick_log_1204.txt"),
            "2026-\r\n2026-12-04 23:59:59 - late line of yesterday\r\n");
}

TEST_F(ActivityLogTest, AFailingFileIsToldOnceAndWrittenAgainWhenSpaceReturns) {
  log.WriteLog("before");
  files.appendFails = "No space left on device";
  ::testing::internal::CaptureStderr();
  log.WriteLog("lost one");
  log.WriteLog("lost two");
  const std::string told = ::testing::internal::GetCapturedStderr();
  // The log joins its folder and file name with the separator it was given ("/").
  const std::string notice = "Cannot write the log file " + dir.path().string() +
                             "/Tarnwick_log_1204.txt" +
                             ": No space left on device; lines go to the window only until it "
                             "can be written again";
  EXPECT_EQ(told, notice + "\n");
  EXPECT_EQ(log.PaneLines().size(), 4u);
  EXPECT_EQ(log.PaneLines()[1], "2026-12-04 10:15:07 - " + notice);

  files.appendFails.reset();
  log.WriteLog("after");
  EXPECT_EQ(ReadFile(dir / "Tarnwick_log_1204.txt"),
            "2026-12-04 10:15:07 - before\r\n2026-12-04 10:15:07 - after\r\n");
  // A new outage is told again.
  files.appendFails = "Input/output error";
  ::testing::internal::CaptureStderr();
  log.WriteLog("lost three");
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Input/output error"), std::string::npos);
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
  // The notice of a file that cannot be written is a line of the pane, and echoed after its line.
  files.appendFails = "No space left on device";
  ::testing::internal::CaptureStderr();
  log.WriteLog("two");
  ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(echoed.size(), 3u);
  EXPECT_EQ(echoed[1], "2026-12-04 10:15:07 - two");
  EXPECT_EQ(echoed[2], log.PaneLines().front());
  EXPECT_EQ(echoed[2].rfind("2026-12-04 10:15:07 - Cannot write the log file ", 0), 0u);
}

}  // namespace
}  // namespace tarnwick
