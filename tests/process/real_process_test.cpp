// Process control against real processes: copies of the hog under chosen names and users,
// terminated through pidfds, and the program monitor watching one of them end to end. Run as
// root (as CI does): hogs that should be killable run under uid 1000, a service's under uid 1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "linux/linux_test_support.h"
#include "monitor/main_window_model.h"
#include "platform/linux/pidfd_process_killer.h"
#include "platform/linux/proc_process_lister.h"
#include "process/process_control.h"
#include "support/fakes.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

using linuxtest::Child;
using linuxtest::ChildOptions;
using linuxtest::Ids;
using linuxtest::TempFolder;
using namespace std::chrono_literals;

const Ids kUser{1000, 1000, 1000, 1000};
const Ids kDaemon{1, 1, 1, 1};

// How the process ended, without collecting it: the signal that killed it, 0 when it exited,
// nullopt when it is still running after `wait`.
std::optional<int> EndOf(pid_t pid, std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  for (;;) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid) {
      return info.si_code == CLD_KILLED ? info.si_status : 0;
    }
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(10ms);
  }
}

std::optional<ProcessInfo> Listed(int pid) {
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  if (!lister.Snapshot(snapshot)) return std::nullopt;
  for (const ProcessInfo& p : snapshot.processes) {
    if (p.pid == pid) return p;
  }
  return std::nullopt;
}

TEST(StatStartTicks, ReadsPastACommandNameWithBlanksAndParentheses) {
  const std::string line =
      "42 (a) b (c)) S 1 42 42 0 -1 4194560 120 0 3 0 7 3 0 0 20 0 1 0 987654 12345678 10 "
      "18446744073709551615\n";
  EXPECT_EQ(StatStartTicks(line), 987654u);
  EXPECT_EQ(StatStartTicks("42 (a) S 1 42 42 0 -1 4194560"), std::nullopt);
  EXPECT_EQ(StatStartTicks("42 a S 1"), std::nullopt);
}

TEST(PidfdProcessKiller, NeverSignalsInitOrItsOwnProcess) {
  PidfdProcessKiller killer;
  for (int pid : {1, static_cast<int>(getpid())}) {
    const std::optional<ProcessInfo> info = Listed(pid);
    ASSERT_TRUE(info.has_value()) << pid;
    EXPECT_FALSE(killer.KillProcess(pid, info->startTicks)) << pid;
  }
  EXPECT_TRUE(Listed(1).has_value());
}

TEST(PidfdProcessKiller, SignalsOnlyTheProcessThatStartedAtTheGivenTicks) {
  TempFolder folder;
  Child child(folder.CopyHog("pidfdhog"), {"sleep"}, ChildOptions::WithIds(kUser));
  ASSERT_TRUE(child.WaitReady());
  const std::optional<ProcessInfo> info = Listed(child.pid());
  ASSERT_TRUE(info.has_value());
  PidfdProcessKiller killer;

  // The same pid with another start time stands for a reused pid: never signalled.
  EXPECT_FALSE(killer.KillProcess(child.pid(), info->startTicks + 1));
  EXPECT_EQ(EndOf(child.pid(), 200ms), std::nullopt) << "the process lives on";

  EXPECT_TRUE(killer.KillProcess(child.pid(), info->startTicks));
  EXPECT_EQ(EndOf(child.pid(), 5s), SIGKILL);
  const int pid = child.pid();
  child.Kill();  // collects it
  EXPECT_FALSE(killer.KillProcess(pid, info->startTicks)) << "a process that is gone";
}

// A main window on the real process table and the pidfd killer; the rest of the machine is fake
// (one processor, 1,000 MiB of memory) and the clock is the real one.
class RealProcessTest : public ::testing::Test {
 protected:
  SystemClock clock;
  testing::RecordingUi ui;
  testing::FakeSystemInfo system;
  testing::FakeCpuCounters cpu;
  testing::FakeMemory memory;
  ProcProcessLister processes;
  testing::RecordingSound sound;
  testing::FakeFileSystem files;
  PidfdProcessKiller killer;
  testing::RecordingAlertSender sender;
  testing::TempDir dir;
  TempFolder hogs;
  std::unique_ptr<MainWindowModel> model;
  size_t seen = 0;

  void SetUp() override {
    system.programFolder = dir / "prog";
    system.logFolder = dir / "log";
    system.suffix = "";
    system.processors = 1;
    std::filesystem::create_directories(system.programFolder);
    memory.total = 1000 * testing::kMiB;
    memory.available = 500 * testing::kMiB;
    MainWindowDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    model = std::make_unique<MainWindowModel>(deps);
  }

  void Load() {
    model->OnLoad();
    model->session.loggedIn = true;
    model->settings.Enable_alert = 1;
    model->Label7.caption = "25";
    model->SetAlertSender(&sender);
    Messages();
  }

  ProcessControl& control() { return *model->processControl(); }

  std::unique_ptr<Child> StartHog(const std::string& name, const Ids& ids,
                                  const std::vector<std::string>& args = {"sleep"}) {
    auto child = std::make_unique<Child>(hogs.CopyHog(name), args, ChildOptions::WithIds(ids));
    EXPECT_TRUE(child->WaitReady()) << name;
    return child;
  }

  std::vector<std::string> Messages() {
    const auto& pane = model->log().PaneLines();
    const size_t fresh = model->log().LinesWritten() - seen;
    seen = model->log().LinesWritten();
    std::vector<std::string> out;
    for (size_t i = fresh; i-- > 0;) out.push_back(pane[i].substr(22));
    return out;
  }
};

TEST_F(RealProcessTest, KillRulesSpareListedAndServiceHogsAndTerminateAnUnlistedOne) {
  const auto listed = StartHog("listedhog", kUser);
  const auto service = StartHog("daemonhog", kDaemon);
  const auto unlisted = StartHog("freehog", kUser);
  Load();
  model->settings.KillProc = 1;
  model->settings.Killopt = false;
  model->settings.num_Kill = "2";
  model->settings.PnameList = "listedhog,otherhog";

  const std::string toBeKilled = R"(\(pid : (\d+) create time : \d\d-\d\d \d\d:\d\d:\d\d\) )"
                                 R"(is the TOP 1 to be killed \.\.\.)";
  std::smatch match;

  EXPECT_EQ(control().KillTopProcess("listedhog,listedhog,", 1, model->kill), "*listedhog(2)");
  std::vector<std::string> lines = Messages();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_TRUE(std::regex_match(lines[0], match, std::regex("listedhog" + toBeKilled))) << lines[0];
  EXPECT_EQ(match[1], std::to_string(listed->pid()));
  EXPECT_FALSE(model->kill.killTried);

  control().KillTopProcess("daemonhog,daemonhog,", 1, model->kill);
  lines = Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex("daemonhog" + toBeKilled))) << lines[0];
  EXPECT_EQ(lines[1], "daemonhog is TOP 1 but no kill. Reason - Session Name (Owner) is Services.");
  EXPECT_FALSE(model->kill.killTried);

  control().KillTopProcess("freehog,freehog,listedhog,", 1, model->kill);
  EXPECT_TRUE(model->kill.killTried);
  EXPECT_TRUE(model->kill.killResult);
  EXPECT_EQ(model->kill.killedName, "freehog");
  EXPECT_EQ(EndOf(unlisted->pid(), 5s), SIGKILL);

  EXPECT_EQ(EndOf(listed->pid(), 0ms), std::nullopt);
  EXPECT_EQ(EndOf(service->pid(), 0ms), std::nullopt);
}

// The watch of a CPU hog through the main window's cycle: counts up to an alert, back to normal
// while the hog is stopped, then a second alert that terminates it.
TEST_F(RealProcessTest, ProgramMonitorWatchesAHogUntilItTerminatesIt) {
  const std::string settings = " 1 \r\npgmhog\r\n 25 \r\n 90 \r\n 3 \r\n 0 \r\n 0 \r\n\r\n";
  testing::WriteFile(system.programFolder + "/pgmsetting.ini", settings);
  const auto hog = StartHog("pgmhog", kUser, {"burn"});
  Load();
  model->settings.TimeInterval = "1";
  model->cycleCountdown = 1;
  auto cycle = [&] {
    std::this_thread::sleep_for(400ms);
    model->OnTmrUpdateTick();
  };
  const std::regex exceed(R"(\(Program Monitor\) - pgmhog CPU (\d+)% exceed 25% (\d) times)");
  auto counts = [&] {
    std::vector<std::string> out;
    std::smatch m;
    for (const std::string& line : Messages()) {
      if (std::regex_match(line, m, exceed)) out.push_back(m[2]);
    }
    return out;
  };

  cycle();
  cycle();
  cycle();
  EXPECT_EQ(counts(), (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_EQ(sender.sent.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      sender.sent[0].message,
      std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d WEB01 - pgmhog CPU \d+% exceed 25% for \d+ )"
                 R"(sec\.\(3 times\))")))
      << sender.sent[0].message;
  EXPECT_EQ(model->Label6[0].caption, "pgmhog");
  EXPECT_EQ(model->Label6[2].caption, "pgmhog");

  // Stopped, the hog uses no CPU: back to normal.
  ASSERT_EQ(::kill(hog->pid(), SIGSTOP), 0);
  cycle();
  ASSERT_EQ(sender.sent.size(), 2u);
  EXPECT_TRUE(std::regex_match(sender.sent[1].message,
                               std::regex(R"(.* pgmhog CPU usage back to normal\. Now pgmhog CPU )"
                                          R"(usage is [0-9]%\. CPU threshold setting is 25% for )"
                                          R"(3 times)")))
      << sender.sent[1].message;
  EXPECT_EQ(model->pgmCPU_count.caption, "0");

  // Running again with termination on: the third sample terminates it.
  control().programSettings().pgmKillF = 1;
  ASSERT_EQ(::kill(hog->pid(), SIGCONT), 0);
  Messages();
  cycle();
  cycle();
  cycle();
  const std::vector<std::string> lines = Messages();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(),
            "(Program killed) - pgmhog is killed successfully on monitoring pgmhog CPU usage "
            "higher than 25%");
  EXPECT_EQ(EndOf(hog->pid(), 5s), SIGKILL);
  ASSERT_EQ(sender.sent.size(), 3u);
  EXPECT_TRUE(std::regex_match(sender.sent[2].message,
                               std::regex(R"(.* - pgmhog CPU \d+% exceed 25% for \d+ sec\.\(3 )"
                                          R"(times\) pgmhog has been killed \(success\))")))
      << sender.sent[2].message;
  EXPECT_EQ(model->Label6[0].caption, "pgmhog killed");
  EXPECT_EQ(model->pgmCPU.caption, "--");

  // Still uncollected by its parent (this test), the hog is no longer the program.
  cycle();
  EXPECT_EQ(model->Label6[0].caption, "pgmhog not found");
  EXPECT_EQ(model->Label6[2].caption, "pgmhog not found");
  EXPECT_EQ(model->pgmCPU.caption, "--");
  EXPECT_EQ(model->pgmCPU_count.caption, "-");
}

}  // namespace
}  // namespace tarnwick
