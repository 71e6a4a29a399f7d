// The real program, started without a display from a program folder of its own: it hands over to
// tarnwickd beside it, which monitors with the settings beside it, writes the daily log and
// echoes it, and a SIGTERM ends it cleanly. Without tarnwickd it says so and fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "program_runner.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

// An alert-free CPU watch that exceeds on every sample: threshold 0%, 1 s cycle, 3 samples.
const char* const kSettingLines[24] = {"1", "0", "101", "3", "TESTHOST", "1", "", "", "True"};
const std::regex kExceedLine(R"(CPU \d+% exceed 0% for \d+ times\. TOP 1 : \S.* \([0-9.]+%\))");

TEST(HeadlessProgramTest, MonitorsLogsEchoesAndEndsCleanlyOnSigterm) {
  TempDir dir;
  const fs::path program = dir.path() / "program";
  const fs::path home = dir.path() / "home";
  MakeProgramFolder(program, kSettingLines);
  fs::create_directories(home);

  BusyThread busy;
  const std::string logDayBefore = TodaysLogName();
  RunningProgram run({(program / "tarnwick").string()}, ChildEnvironment(home.string()));
  ASSERT_TRUE(run.started());

  std::string log;
  bool done = false;
  const auto deadline = SteadyClock::now() + std::chrono::seconds(15);
  while (!done && SteadyClock::now() < deadline) {
    const std::string& out = run.ReadOutput(200);
    // Around midnight the file may carry either date.
    log = ReadFile((home / "monitor_log" / TodaysLogName()).string()) +
          ReadFile((home / "monitor_log" / logDayBefore).string());
    done = log.find("Monitoring Started") != std::string::npos &&
           std::regex_search(log, kExceedLine) && std::regex_search(out, kExceedLine);
  }
  const std::string out = run.ReadOutput(0);
  EXPECT_NE(log.find("Monitoring Started"), std::string::npos) << log;
  EXPECT_TRUE(std::regex_search(log, kExceedLine)) << log;
  EXPECT_NE(out.find("Monitoring Started"), std::string::npos) << out;
  EXPECT_NE(out.find("Account status: "), std::string::npos) << "the status lines of tarnwickd";
  EXPECT_TRUE(std::regex_search(out, kExceedLine)) << out;

  const std::optional<int> status = run.Stop(SIGTERM, std::chrono::seconds(5));
  ASSERT_TRUE(status.has_value()) << "still running 5 s after SIGTERM";
  EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST(HeadlessProgramTest, WithoutTarnwickdBesideItFailsWithTheReason) {
  TempDir dir;
  MakeProgramFolder(dir.path());
  fs::remove(dir.path() / "tarnwickd");
  const FinishedProgram run = RunToEnd({(dir.path() / "tarnwick").string(), "--version"},
                                       ChildEnvironment(dir.path().string()));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "tarnwick: no display, and cannot start " +
                         (dir.path() / "tarnwickd").string() + ": No such file or directory\n");
}

TEST(HeadlessProgramTest, HandsItsArgumentsOver) {
  TempDir dir;
  MakeProgramFolder(dir.path());
  const FinishedProgram run = RunToEnd({(dir.path() / "tarnwick").string(), "--version"},
                                       ChildEnvironment(dir.path().string()));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "tarnwickd (Tarnwick) 4.3\n");
}

}  // namespace
}  // namespace tarnwick::testing
