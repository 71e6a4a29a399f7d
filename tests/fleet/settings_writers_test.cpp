// The real tarnwickd as configuration tools run it: several --set at once on one folder, each
// naming other values of the same file, and a --set beside a running program's marker.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "app/program_runner.h"
#include "platform/instance_marker.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::FinishedProgram;
using testing::RunToEnd;

class SettingsWritersTest : public ::testing::Test {
 protected:
  testing::TempDir home;
  std::string folder = home / "etc";
  std::vector<std::string> environment = testing::ChildEnvironment(home.path().string());

  FinishedProgram Set(const std::vector<std::string>& assignments) {
    std::vector<std::string> argv = {TARNWICKD_EXECUTABLE, "--settings-dir", folder,
                                     "--detailed-exitcodes", "--set"};
    argv.insert(argv.end(), assignments.begin(), assignments.end());
    return RunToEnd(argv, environment, std::chrono::seconds(30));
  }
  Settings Stored() {
    Settings s;
    ParseSettingFile(testing::ReadFile(folder + "/setting.ini"), s);
    return s;
  }
};

// Each round starts three writers together, each with values of setting.ini the others leave
// alone; without the lock a writer that read before another wrote puts back the old values.
TEST_F(SettingsWritersTest, ConcurrentWritersNeverLoseAnUpdate) {
  constexpr int kRounds = 25;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    const std::string n = std::to_string(round);
    const std::vector<std::vector<std::string>> writers = {
        {"cpu_High=" + std::to_string(50 + round)},
        {"host_Name=WEB" + n},
        {"num_High=" + std::to_string(1 + round), "smsFrom=" + std::to_string(round % 12)}};
    std::vector<FinishedProgram> results(writers.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < writers.size(); ++i) {
      threads.emplace_back([&, i] { results[i] = Set(writers[i]); });
    }
    for (std::thread& thread : threads) thread.join();
    for (const FinishedProgram& result : results) {
      EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
    }
    const Settings s = Stored();
    ASSERT_EQ(s.cpu_High, std::to_string(50 + round));
    ASSERT_EQ(s.host_Name, "WEB" + n);
    ASSERT_EQ(s.num_High, std::to_string(1 + round));
    ASSERT_EQ(s.smsFrom, std::to_string(round % 12));
  }
}

// A process holding the marker (forked from this test, as tarnwickd holds it for its lifetime) is
// named after a change; killed, it leaves a stale file that names no one.
TEST_F(SettingsWritersTest, ARunningProgramIsNamedOnlyWhileItRuns) {
  ASSERT_EQ(Set({"cpu_High=80"}).exitCode, 3);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    std::string reason;
    const auto held = HoldInstanceMarker(folder, reason);
    const char state = held ? 'y' : 'n';
    (void)!::write(ready[1], &state, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char state = 0;
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(state, 'y');

  const std::string named = "The running tarnwickd (pid " + std::to_string(holder) +
                            ") takes the new settings at its next cycle\n";
  const struct {
    const char* proves;
    std::string cpuHigh;
    int exitCode;
    std::string out;
  } running[] = {
      {"a change", "81", 3, "Saved " + folder + "/setting.ini\n" + named},
      {"no change", "81", 0, "Unchanged\n"},
  };
  for (const auto& c : running) {
    SCOPED_TRACE(c.proves);
    const FinishedProgram result = Set({"cpu_High=" + c.cpuHigh});
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_EQ(result.out, c.out);
  }

  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ASSERT_TRUE(std::filesystem::exists(folder + "/" + std::string(kInstanceMarkerFileName)));
  const FinishedProgram afterKill = Set({"cpu_High=82"});
  EXPECT_EQ(afterKill.exitCode, 3) << afterKill.err;
  EXPECT_EQ(afterKill.out, "Saved " + folder + "/setting.ini\n") << "a stale file names no one";
}

}  // namespace
}  // namespace tarnwick
