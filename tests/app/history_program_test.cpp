// The real program's usage history: a headless run records into an owner-only file in the log
// folder, and --history / --export-history read it back without starting a window, from the log
// folder or the one --log-dir names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "program_runner.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

// A CPU watch that exceeds on every sample (threshold 0%, 1 s cycle), alerts never (101 samples).
const char* const kSettingLines[24] = {"0", "0", "101", "101", "TESTHOST"};

struct Finished {
  int status = -1;
  std::string out;
};

Finished RunToEnd(const fs::path& program, const fs::path& home,
                  const std::vector<std::string>& args) {
  std::vector<std::string> argv{(program / "tarnwick").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  RunningProgram run(argv, ChildEnvironment(home.string()));
  Finished done;
  // A history command ends by itself; the signal only comes after the wait.
  run.WaitForOutput([](const std::string&) { return false; }, std::chrono::milliseconds(1500));
  const std::optional<int> status = run.Stop(SIGTERM, std::chrono::seconds(10));
  done.out = run.ReadOutput(0);
  if (status && WIFEXITED(*status)) done.status = WEXITSTATUS(*status);
  return done;
}

TEST(HistoryProgramTest, HeadlessRunIsRecordedAndReadBackFromTheCommandLine) {
  TempDir dir;
  const fs::path program = dir.path() / "program";
  const fs::path home = dir.path() / "home";
  MakeProgramFolder(program, kSettingLines);
  fs::create_directories(home);

  EXPECT_EQ(RunToEnd(program, home, {"--history"}).status, 1) << "nothing recorded yet";
  EXPECT_FALSE(fs::exists(home / "monitor_log" / "Tarnwick_history.sqlite"))
      << "reading never creates the file";

  {
    BusyThread busy;
    RunningProgram run({(program / "tarnwick").string()}, ChildEnvironment(home.string()));
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.WaitForOutput(
        [](const std::string& out) { return out.find("exceed 0% for 3 times") != out.npos; },
        std::chrono::seconds(20)))
        << run.ReadOutput(0);
    const std::optional<int> status = run.Stop(SIGTERM, std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(WEXITSTATUS(*status), 0);
  }
  const std::string file = (home / "monitor_log" / "Tarnwick_history.sqlite").string();
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0) << "what was pending is written at the end";
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const Finished summary = RunToEnd(program, home, {"--history", "--since", "1h"});
  EXPECT_EQ(summary.status, 0) << summary.out;
  EXPECT_NE(summary.out.find("  started  Monitoring Started"), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("  stopped  Monitoring Stopped"), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("CPU     "), std::string::npos) << "the ranked top processes";

  const std::string csv = (dir.path() / "out.csv").string();
  const Finished exported = RunToEnd(program, home, {"--export-history", csv, "--since", "1h"});
  EXPECT_EQ(exported.status, 0) << exported.out;
  const std::string text = ReadFile(csv);
  EXPECT_EQ(text.rfind("time,cpu_percent,", 0), 0u) << text;
  EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 4) << "the header and three samples";

  EXPECT_EQ(RunToEnd(program, home, {"--history", "--since", "soon"}).status, 2);

  // --log-dir names the history's folder, as tarnwickd's does; with a history command any other
  // argument is refused before the history is read.
  const fs::path logs = dir.path() / "other logs";
  const fs::path empty = dir.path() / "empty";
  fs::create_directories(logs);
  fs::create_directories(empty);
  for (const auto& entry : fs::directory_iterator(home / "monitor_log")) {
    if (entry.path().filename().string().rfind("Tarnwick_history", 0) == 0) {
      fs::copy_file(entry.path(), logs / entry.path().filename());
    }
  }
  fs::rename(file, file + ".moved");
  const std::string usage = "usage: --history [--since DURATION] [--log-dir DIR]";
  const std::string otherCsv = (dir.path() / "other.csv").string();
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"--history", "--log-dir", logs.string(), "--since", "1h"},
       0,
       "  started  Monitoring Started",
       ""},
      {{"--log-dir", logs.string(), "--export-history", otherCsv, "--since", "1h"},
       0,
       "Samples written to ",
       ""},
      {{"--history"}, 1, "", "no history has been recorded yet"},
      {{"--history", "--log-dir", empty.string()},
       1,
       "",
       "no history has been recorded yet (" + (empty / "Tarnwick_history.sqlite").string() + ")"},
      {{"--history", "--bogus"}, 2, "", "tarnwick: unknown option '--bogus'\n" + usage},
      {{"--history", "--log-dir"}, 2, "", "tarnwick: option '--log-dir' needs a folder\n" + usage},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv{(program / "tarnwick").string()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    const FinishedProgram done = tarnwick::testing::RunToEnd(argv, ChildEnvironment(home.string()));
    EXPECT_EQ(done.exitCode, c.status) << done.out << done.err;
    EXPECT_NE(done.out.find(c.out), std::string::npos) << done.out;
    EXPECT_NE(done.err.find(c.err), std::string::npos) << done.err;
  }
  EXPECT_EQ(ReadFile(otherCsv), text) << "the export of the other folder's copy";
}

}  // namespace
}  // namespace tarnwick::testing
