// Process control against real processes: copies of the hog under chosen names and users,
// terminated through pidfds, and the program monitor watching one of them end to end. Run as
// root (as CI does): hogs that should be killable run under uids 1000 and 1001, services' under
// uid 1, nobody and a dynamic user.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/process_control.h"
#include "forms/main_window_model.h"
#include "linux/linux_test_support.h"
#include "platform/linux/pidfd_process_killer.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/linux/proc_stat.h"
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
const Ids kOtherUser{1001, 1001, 1001, 1001};
const Ids kNobody{65534, 65534, 65534, 65534};
const Ids kDynamicUser{61184, 61184, 61184, 61184};
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

// The start ticks of any process, a zombie too, from its stat line.
uint64_t StartTicksOf(pid_t pid) {
  const std::string line = linuxtest::ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
  proc::StatFields fields;
  EXPECT_TRUE(proc::ParseStat(line, fields)) << line;
  return fields.startTime;
}

// Waits until the child has exited, without collecting it: it stays a zombie.
void WaitZombie(pid_t pid) {
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
}

TEST(ProcStat, ReadsPastATaskNameThatLooksLikeFields) {
  const struct {
    const char* what;
    std::string line;
    bool ok;
    const char* comm;
    char state;
    uint64_t startTime;
    bool exited;  // the whole process has ended
  } cases[] = {
      {"blanks and parentheses",
       "42 (a) b (c)) S 1 42 42 0 -1 4194560 120 0 3 0 7 3 0 0 20 0 1 0 987654 12345678 10 1\n",
       true, "a) b (c)", 'S', 987654, false},
      {"a name that forges the fields of a zombie",
       "42 (x) Z 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20) R 1 42 42 0 -1 4194560 120 "
       "0 3 0 7 3 0 0 20 0 1 0 555 12345678 10 1\n",
       true, "x) Z 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20", 'R', 555, false},
      {"a line break in the name",
       "42 (a\nb) Z 1 42 42 0 -1 4194560 120 0 3 0 7 3 0 0 20 0 1 0 77 12345678 10 1\n", true,
       "a\nb", 'Z', 77, true},
      {"a main thread that has ended while two others run",
       "42 (a) Z 1 42 42 0 -1 4227084 120 0 3 0 54 1 0 0 20 0 3 0 88 0 0\n", true, "a", 'Z', 88,
       false},
      {"cut before rss", "42 (a) S 1 42 42 0 -1 4194560 120 0 3 0 7 3 0 0 20 0 1 0 9 1", false, "",
       '?', 0, false},
      {"no name", "42 a S 1", false, "", '?', 0, false},
      {"a letter where a number stands",
       "42 (a) S 1 42 42 0 -1 4194560 120 0 3 0 x 3 0 0 20 0 1 0 9 1 1\n", false, "", '?', 0,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    proc::StatFields fields;
    ASSERT_EQ(proc::ParseStat(c.line, fields), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(fields.comm, c.comm);
    EXPECT_EQ(fields.state, c.state);
    EXPECT_EQ(fields.startTime, c.startTime);
    EXPECT_EQ(proc::HasExited(fields), c.exited);
  }
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
  EXPECT_EQ(EndOf(child.pid(), 0ms), SIGKILL) << "ended by the time the killer reports success";
  const int pid = child.pid();
  child.Kill();  // collects it
  EXPECT_FALSE(killer.KillProcess(pid, info->startTicks)) << "a process that is gone";
}

TEST(PidfdProcessKiller, AZombieIsNoSuccess) {
  TempFolder folder;
  Child zombie(folder.CopyHog("zombiehog"), {"sleep", "0"}, ChildOptions::WithIds(kUser));
  ASSERT_TRUE(zombie.WaitReady());
  WaitZombie(zombie.pid());
  PidfdProcessKiller killer;
  EXPECT_FALSE(killer.KillProcess(zombie.pid(), StartTicksOf(zombie.pid())));
}

// A process whose main thread has ended while another thread burns is live: it is signalled,
// and the success means every thread of it has ended.
TEST(PidfdProcessKiller, TerminatesAProcessWhoseMainThreadAloneEnded) {
  TempFolder folder;
  Child child(folder.CopyHog("halfhog"), {"detach", "burn"}, ChildOptions::WithIds(kUser));
  ASSERT_TRUE(child.WaitReady());
  ASSERT_TRUE(linuxtest::WaitMainThreadEnded(child.pid()));
  PidfdProcessKiller killer;
  EXPECT_TRUE(killer.KillProcess(child.pid(), StartTicksOf(child.pid())));
  EXPECT_EQ(EndOf(child.pid(), 0ms), SIGKILL) << "the whole process has ended";
}

// The real process table seen through the test's own children: the machine's other processes (a
// build beside the tests, each in a cgroup of its own that no nice value outweighs) cannot lead a
// ranking.
class ChildrenOnlyLister final : public IProcessLister {
 public:
  std::set<int> pids;
  // Names of processes that the children start, whose pids the test does not know.
  std::set<std::string> names;
  bool Snapshot(ProcessSnapshot& snapshot) override {
    if (!real_.Snapshot(snapshot)) return false;
    std::erase_if(snapshot.processes, [&](const ProcessInfo& p) {
      return pids.count(p.pid) == 0 && names.count(p.name) == 0;
    });
    return true;
  }

 private:
  ProcProcessLister real_;
};

// A main window on the real process table and the pidfd killer; the rest of the machine is fake
// (one processor, 1,000 MiB of memory) and the clock is the real one.
class RealProcessTest : public ::testing::Test {
 protected:
  SystemClock clock;
  testing::RecordingUi ui;
  testing::FakeSystemInfo system;
  testing::FakeCpuCounters cpu;
  testing::FakeMemory memory;
  ChildrenOnlyLister processes;
  testing::RecordingSound sound;
  testing::FakeFileSystem files;
  PidfdProcessKiller killer;
  testing::RecordingAlertSender sender;
  testing::TempDir dir;
  TempFolder hogs;
  std::unique_ptr<testing::Desk> desk;
  Engine* engine = nullptr;
  MainWindowModel* model = nullptr;
  size_t seen = 0;
  int copies = 0;

  void SetUp() override {
    system.programFolder = dir / "prog";
    system.logFolder = dir / "log";
    system.suffix = "";
    system.processors = 1;
    std::filesystem::create_directories(system.programFolder);
    memory.total = 1000 * testing::kMiB;
    memory.available = 500 * testing::kMiB;
    DeskDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    desk = std::make_unique<testing::Desk>(deps);
    engine = &desk->engine;
    model = &desk->form;
  }

  void Load() {
    model->OnLoad();
    engine->session.loggedIn = true;
    engine->settings.Enable_alert = 1;
    engine->session.credits = "25";
    engine->SetAlertSender(&sender);
    Messages();
  }

  ProcessControl& control() { return *engine->processControl(); }

  std::unique_ptr<Child> StartHog(const std::string& name, const Ids& ids,
                                  const std::vector<std::string>& args = {"sleep"}) {
    auto child = std::make_unique<Child>(hogs.CopyHog(name), args, ChildOptions::WithIds(ids));
    EXPECT_TRUE(child->WaitReady()) << name;
    processes.pids.insert(child->pid());
    return child;
  }

  // `count` samples with `child` on top under `name`, as the ranking records them.
  static TopHistory Tops(const Child& child, const std::string& name, int count) {
    return TopHistory(static_cast<size_t>(count),
                      TopSample{name, child.pid(), StartTicksOf(child.pid())});
  }

  // A hog under `options`, started from a copy of the hog named `name` in a folder of its own
  // (a running copy cannot be overwritten by the next one of its name).
  std::unique_ptr<Child> Start(const std::string& name, const ChildOptions& options,
                               const std::vector<std::string>& args) {
    const std::filesystem::path folder = hogs.path() / std::to_string(++copies);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    const std::filesystem::path copy = folder / name;
    std::filesystem::copy_file(linuxtest::HogPath(), copy);
    std::filesystem::permissions(copy, std::filesystem::perms(0755));
    auto child = std::make_unique<Child>(copy.string(), args, options);
    EXPECT_TRUE(child->WaitReady()) << name;
    if (!args.empty() && args[0] == "detach") {
      EXPECT_TRUE(linuxtest::WaitMainThreadEnded(child->pid())) << name;
    }
    processes.pids.insert(child->pid());
    return child;
  }

  // Machine-wide cycles with the CPU above its threshold, the ranking measuring real intervals.
  void HighCpuCycles(int count, std::chrono::milliseconds gap = 300ms) {
    for (int i = 0; i < count; ++i) {
      std::this_thread::sleep_for(gap);
      cpu.busy.push_back(95);
      engine->Monitor();
    }
  }

  std::vector<std::string> Messages() {
    const auto& pane = engine->log().PaneLines();
    const size_t fresh = engine->log().LinesWritten() - seen;
    seen = engine->log().LinesWritten();
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
  engine->settings.KillProc = 1;
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "2";
  engine->settings.PnameList = "listedhog,otherhog";

  const std::string toBeKilled = R"(\(pid : (\d+) create time : \d\d-\d\d \d\d:\d\d:\d\d\) )"
                                 R"(is the TOP 1 to be killed \.\.\.)";
  std::smatch match;

  EXPECT_EQ(control().KillTopProcess(Tops(*listed, "listedhog", 2), 1, engine->kill),
            "*listedhog(2)");
  std::vector<std::string> lines = Messages();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_TRUE(std::regex_match(lines[0], match, std::regex("listedhog" + toBeKilled))) << lines[0];
  EXPECT_EQ(match[1], std::to_string(listed->pid()));
  EXPECT_FALSE(engine->kill.killTried);

  control().KillTopProcess(Tops(*service, "daemonhog", 2), 1, engine->kill);
  lines = Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex("daemonhog" + toBeKilled))) << lines[0];
  EXPECT_EQ(lines[1], "daemonhog is TOP 1 but no kill. Reason - Session Name (Owner) is Services.");
  EXPECT_FALSE(engine->kill.killTried);

  TopHistory history = Tops(*unlisted, "freehog", 2);
  history.push_back(Tops(*listed, "listedhog", 1)[0]);
  control().KillTopProcess(history, 1, engine->kill);
  EXPECT_TRUE(engine->kill.killTried);
  EXPECT_TRUE(engine->kill.killResult);
  EXPECT_EQ(engine->kill.killedName, "freehog");
  EXPECT_EQ(EndOf(unlisted->pid(), 5s), SIGKILL);

  EXPECT_EQ(EndOf(listed->pid(), 0ms), std::nullopt);
  EXPECT_EQ(EndOf(service->pid(), 0ms), std::nullopt);
}

ChildOptions Burner(const Ids& ids) {
  // At the highest priority the hog leads every ranking even beside a busy build.
  ChildOptions options = ChildOptions::WithIds(ids);
  options.nice = -20;
  return options;
}

// A CPU alert of the machine-wide watch with killing on: the hog of one user is terminated,
// never its idle namesakes of other users (started before and after it), whatever characters its
// name holds and whatever it is called; the tally shows the name whole.
TEST_F(RealProcessTest, CpuAlertTerminatesTheHogNotItsNamesakes) {
  const struct {
    const char* hogName;
    const char* tallyName;
  } cases[] = {
      {"victim", "victim"},
      {"victim,zzz", "victim_zzz"},
      {"victim#zzz", "victim#zzz"},
      {"victim*(1)", "victim__1_"},
      // Names of Windows' pseudo processes mean nothing on Linux.
      {"System", "System"},
      {"Idle", "Idle"},
      {"_Total", "_Total"},
  };
  Load();
  engine->settings.cpu_High = "50";
  engine->settings.num_High = "3";
  engine->settings.KillProc = 1;
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "2";
  engine->settings.PnameList = "";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hogName);
    const auto older = Start("victim", ChildOptions::WithIds(kOtherUser), {"sleep"});
    const auto hog = Start(c.hogName, Burner(kUser), {"burn"});
    const auto newer = Start("victim", ChildOptions::WithIds(kOtherUser), {"sleep"});
    Messages();
    HighCpuCycles(3);
    const std::vector<std::string> lines = Messages();
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(lines[3].starts_with(std::string(c.hogName) +
                                     "(pid : " + std::to_string(hog->pid()) + " create time : "))
        << lines[3];
    EXPECT_NE(lines[4].find(" *" + std::string(c.hogName) + " killed(True). TOP1 : "),
              std::string::npos)
        << lines[4];
    EXPECT_TRUE(lines[4].ends_with(" *" + std::string(c.tallyName) + "(3)")) << lines[4];
    EXPECT_EQ(EndOf(hog->pid(), 0ms), SIGKILL);
    EXPECT_EQ(EndOf(older->pid(), 0ms), std::nullopt);
    EXPECT_EQ(EndOf(newer->pid(), 0ms), std::nullopt);
  }
}

// nobody and systemd's dynamic users run services: refused under "No kill if in below list or
// owner is Services".
TEST_F(RealProcessTest, ServiceAccountsOutsideTheLoginRangeAreRefused) {
  Load();
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "1";
  engine->settings.PnameList = "";
  for (const Ids& ids : {kNobody, kDynamicUser}) {
    SCOPED_TRACE(ids.ruid);
    const auto hog = Start("servicehog", ChildOptions::WithIds(ids), {"sleep"});
    Messages();
    control().KillTopProcess(Tops(*hog, "servicehog", 2), 1, engine->kill);
    const std::vector<std::string> lines = Messages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1],
              "servicehog is TOP 1 but no kill. Reason - Session Name (Owner) is Services.");
    EXPECT_FALSE(engine->kill.killTried);
    EXPECT_EQ(EndOf(hog->pid(), 0ms), std::nullopt);
  }
}

// A zombie of the watched program's name, older than the live instance, is not the program: the
// watch measures the live one, alerts and terminates it; a termination of the zombie itself is
// no success.
TEST_F(RealProcessTest, ProgramMonitorAndKillPassOverAZombie) {
  testing::WriteFile(system.programFolder + "/pgmsetting.ini",
                     " 1 \r\nzhog\r\n 5 \r\n 90 \r\n 1 \r\n 1 \r\n 0 \r\n\r\n");
  const auto zombie = Start("zhog", ChildOptions::WithIds(kUser), {"sleep", "0"});
  WaitZombie(zombie->pid());
  const auto hog = Start("zhog", Burner(kUser), {"burn"});
  Load();

  engine->settings.Killopt = false;
  engine->settings.num_Kill = "1";
  control().KillTopProcess(Tops(*zombie, "zhog", 3), 1, engine->kill);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"No catch Process ID (pid) will kill next time ......."});
  EXPECT_FALSE(engine->kill.killTried);

  control().MonitorProgram();
  const std::vector<std::string> lines = Messages();
  ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[1],
            "(Program killed) - zhog is killed successfully on monitoring zhog CPU usage higher "
            "than 5%");
  EXPECT_EQ(EndOf(hog->pid(), 0ms), SIGKILL);
  ASSERT_EQ(sender.sent.size(), 1u);
  EXPECT_TRUE(sender.sent[0].message.ends_with(" zhog has been killed (success)"))
      << sender.sent[0].message;
}

// Two instances of the watched program: the CPU step terminates the one it measured, and the
// memory step of the same cycle measures and terminates the other, the one it measured. An
// instance whose main thread has ended while its other thread works is measured the same.
TEST_F(RealProcessTest, ProgramMonitorTerminatesTheInstancesItMeasured) {
  // CPU 5% and memory 1% of the (fake) 1,000 MiB, one sample to an alert, termination on.
  testing::WriteFile(system.programFolder + "/pgmsetting.ini",
                     " 1 \r\ntwinhog\r\n 5 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\n\r\n");
  Load();
  for (const std::vector<std::string>& prefix :
       {std::vector<std::string>{}, std::vector<std::string>{"detach"}}) {
    SCOPED_TRACE(prefix.empty() ? "main threads running" : "main threads ended");
    control().ResetForStart(true);
    auto args = [&](std::vector<std::string> mode) {
      mode.insert(mode.begin(), prefix.begin(), prefix.end());
      return mode;
    };
    // At its usual priority: a burner at the highest one would starve the second instance while
    // it touches its memory.
    const auto burner = Start("twinhog", ChildOptions::WithIds(kUser), args({"burn"}));
    const auto holder = Start("twinhog", ChildOptions::WithIds(kUser), args({"touch", "64"}));
    Messages();
    control().MonitorProgram();
    const std::vector<std::string> lines = Messages();
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[1],
              "(Program killed) - twinhog is killed successfully on monitoring twinhog CPU usage "
              "higher than 5%");
    EXPECT_EQ(lines[3],
              "(Program killed) - twinhog is killed successfully on monitoring twinhog MEMORY "
              "usage higher than 1%");
    EXPECT_EQ(EndOf(burner->pid(), 0ms), SIGKILL);
    EXPECT_EQ(EndOf(holder->pid(), 0ms), SIGKILL);
  }
}

// The machine-wide watches with killing on: the process whose main thread has ended while its
// other thread burns or holds memory leads the ranking and is terminated, never the process that
// comes next in the ranking.
TEST_F(RealProcessTest, WatchesTerminateAProcessWhoseMainThreadEnded) {
  const struct {
    const char* what;
    std::vector<std::string> culprit;
    std::vector<std::string> bystander;
    const char* cpuHigh;
    const char* memHigh;
    bool oneProcessor;  // both on one processor, the bystander at a lower priority
  } cases[] = {
      {"CPU", {"detach", "burn"}, {"burn", "30"}, "50", "101", true},
      // Its live threads listed behind 50 ended ones a tracer holds: the list is read whole.
      {"CPU, behind ended threads", {"ghosts", "50", "2"}, {"burn", "30"}, "50", "101", true},
      {"memory", {"detach", "touch", "64"}, {"touch", "16"}, "101", "40", false},
  };
  Load();
  engine->settings.num_High = "3";
  engine->settings.KillProc = 1;
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "2";
  engine->settings.PnameList = "";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    engine->settings.cpu_High = c.cpuHigh;
    engine->settings.mem_High = c.memHigh;
    // A burning bystander gets a tenth of the processor they share (nice -10 beside -20): the
    // runner-up.
    ChildOptions culpritOptions = Burner(kUser);
    ChildOptions bystanderOptions = ChildOptions::WithIds(kUser);
    if (c.oneProcessor) {
      culpritOptions.cpu = bystanderOptions.cpu = 0;
      bystanderOptions.nice = -10;
    }
    const auto bystander = Start("bystander", bystanderOptions, c.bystander);
    const auto culprit = Start("halfhog", culpritOptions, c.culprit);
    Messages();
    HighCpuCycles(3);
    // Three exceed lines, the termination's line and the alert (after the previous case's
    // back-to-normal lines).
    const std::vector<std::string> lines = Messages();
    ASSERT_GE(lines.size(), 5u) << ::testing::PrintToString(lines);
    const std::string& chosen = lines[lines.size() - 2];
    EXPECT_TRUE(
        chosen.starts_with("halfhog(pid : " + std::to_string(culprit->pid()) + " create time : "))
        << chosen;
    EXPECT_NE(lines.back().find(" *halfhog killed(True). TOP1 : halfhog "), std::string::npos)
        << lines.back();
    EXPECT_EQ(EndOf(culprit->pid(), 0ms), SIGKILL);
    EXPECT_EQ(EndOf(bystander->pid(), 0ms), std::nullopt);
  }
}

// Load that moves from process to process: a hog that hops to a new pid every 300 ms, and a
// parent that runs one short busy child after another (its own share is next to nothing). Each
// sample names the busiest process it saw and the alert tallies them by name, but none of those
// processes was on top in num_Kill samples itself: nothing is terminated.
TEST_F(RealProcessTest, LoadThatMovesBetweenProcessesIsNamedButNeverTerminated) {
  // Hops whose parent has ended come to this process, which collects them at the end.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  const std::string children = hogs.CopyHog("childhog");
  processes.names = {"hophog", "childhog"};
  Load();
  engine->settings.cpu_High = "50";
  engine->settings.num_High = "3";
  engine->settings.KillProc = 1;
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "3";
  engine->settings.PnameList = "";
  const struct {
    const char* what;
    const char* name;
    std::vector<std::string> args;
    const char* moving;  // the name under which the load moves
  } cases[] = {
      {"a hog that hops to a new pid", "hophog", {"hop", "300", "60"}, "hophog"},
      {"a parent of short busy children", "spawnhog", {"spawn", children, "300"}, "childhog"},
  };
  std::vector<pid_t> groups;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto hog = Start(c.name, ChildOptions::WithIds(kUser), c.args);
    groups.push_back(hog->pid());
    Messages();
    // Samples further apart than a process of the moving load lives.
    HighCpuCycles(2, 700ms);
    const TopHistory samples = engine->ranking.cpuTopList;  // the alert empties it
    HighCpuCycles(1, 700ms);

    // A sample may find nothing busy (a process that has just started has used no tick yet),
    // and now and then the parent of the children; the load itself is never twice on one pid.
    std::set<int> movingPids;
    size_t moving = 0;
    for (const TopSample& sample : samples) {
      if (sample.name.empty() || sample.pid == hog->pid()) continue;
      EXPECT_EQ(sample.name, c.moving);
      movingPids.insert(sample.pid);
      ++moving;
    }
    EXPECT_EQ(movingPids.size(), moving) << "the load was on another process each time";
    const std::vector<std::string> lines = Messages();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(" *" + std::string(c.moving) + "("), std::string::npos)
        << lines.back();
    EXPECT_EQ(lines.back().find(" killed("), std::string::npos) << lines.back();
    EXPECT_FALSE(engine->kill.killTried);
    if (std::string(c.name) != c.moving) {
      EXPECT_EQ(EndOf(hog->pid(), 0ms), std::nullopt) << "the parent of the children runs on";
    }
  }
  for (const pid_t group : groups) ::kill(-group, SIGKILL);
  std::this_thread::sleep_for(200ms);
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

// After Stop and Start the first ranking measures the CPU since the start, not over the pause:
// the hog that burned while monitoring was off and is stopped now does not lead.
TEST_F(RealProcessTest, FirstRankingAfterStartIsNotMeasuredOverThePause) {
  const auto pauseHog = Start("pausehog", Burner(kUser), {"burn"});
  const auto nowHog = Start("nowhog", Burner(kUser), {"burn"});
  ASSERT_EQ(::kill(nowHog->pid(), SIGSTOP), 0);
  Load();
  engine->settings.cpu_High = "50";
  engine->settings.num_High = "100";
  HighCpuCycles(1);
  ASSERT_EQ(engine->ranking.cpuTopName, "pausehog");

  model->OnCommand1Click();  // Stop
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(::kill(pauseHog->pid(), SIGSTOP), 0);
  ASSERT_EQ(::kill(nowHog->pid(), SIGCONT), 0);
  model->OnCommand1Click();  // Start
  std::this_thread::sleep_for(300ms);
  cpu.busy.push_back(95);
  engine->Monitor();
  EXPECT_EQ(engine->ranking.cpuTopName, "nowhog");
  ASSERT_EQ(::kill(pauseHog->pid(), SIGCONT), 0);
}

// The watch of a CPU hog through the main window's cycle: counts up to an alert, back to normal
// while the hog is stopped, then a second alert that terminates it.
TEST_F(RealProcessTest, ProgramMonitorWatchesAHogUntilItTerminatesIt) {
  const std::string settings = " 1 \r\npgmhog\r\n 10 \r\n 90 \r\n 3 \r\n 0 \r\n 0 \r\n\r\n";
  testing::WriteFile(system.programFolder + "/pgmsetting.ini", settings);
  const auto hog = Start("pgmhog", Burner(kUser), {"burn"});
  Load();
  engine->settings.TimeInterval = "1";
  engine->cycleCountdown = 1;
  auto cycle = [&] {
    std::this_thread::sleep_for(400ms);
    model->OnTmrUpdateTick();
  };
  const std::regex exceed(R"(\(Program Monitor\) - pgmhog CPU (\d+)% exceed 10% (\d) times)");
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
      std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d WEB01 - pgmhog CPU \d+% exceed 10% for \d+ )"
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
                                          R"(usage is [0-9]%\. CPU threshold setting is 10% for )"
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
            "higher than 10%");
  EXPECT_EQ(EndOf(hog->pid(), 5s), SIGKILL);
  ASSERT_EQ(sender.sent.size(), 3u);
  EXPECT_TRUE(std::regex_match(sender.sent[2].message,
                               std::regex(R"(.* - pgmhog CPU \d+% exceed 10% for \d+ sec\.\(3 )"
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
