// ProcProcessLister on crafted proc roots (parsing, skipping, the cache) and on the real /proc
// with child processes (names, owners, creation times, vanishing).
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "linux_test_support.h"
#include "platform/linux/proc_process_lister.h"

namespace tarnwick {
namespace {

using linuxtest::Child;
using linuxtest::ChildOptions;
using linuxtest::Ids;
using linuxtest::TempFolder;

const uint64_t kTicks = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
const uint64_t kPage = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
constexpr int64_t kBootTime = 1700000000;

// A /proc/[pid]/stat line with the fields the lister reads; the others are plausible fillers.
// The task flags of a user's process (PF_RANDOMIZE | PF_FORKNOEXEC), and of a kernel thread.
constexpr uint64_t kUserFlags = 4194560;
constexpr uint64_t kKernelThreadFlags = 0x00208040;

std::string StatLine(int pid, const std::string& comm, uint64_t utime, uint64_t stime,
                     uint64_t start, uint64_t rss, uint64_t flags = kUserFlags) {
  return std::to_string(pid) + " (" + comm + ") S 1 " + std::to_string(pid) + " " +
         std::to_string(pid) + " 0 -1 " + std::to_string(flags) + " 120 0 3 0 " +
         std::to_string(utime) + " " + std::to_string(stime) + " 0 0 20 0 1 0 " +
         std::to_string(start) + " 12345678 " + std::to_string(rss) +
         " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
}

std::string StatusText(const std::string& comm, unsigned uid) {
  const std::string u = std::to_string(uid);
  return "Name:\t" + comm + "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t1\nPid:\t1\n" + "Uid:\t" +
         u + "\t" + u + "\t" + u + "\t" + u + "\nGid:\t0\t0\t0\t0\n";
}

// A proc root with a stat file (btime) and processes added by the test.
class FakeProc {
 public:
  FakeProc() {
    root_.Write("stat", "cpu  1 1 1 1 1 1 1 1 0 0\ncpu0 1 1 1 1 1 1 1 1 0 0\nbtime " +
                            std::to_string(kBootTime) + "\n");
  }
  void Add(int pid, const std::string& comm, unsigned uid, const std::string& cmdline = "",
           uint64_t start = 500, uint64_t utime = 7, uint64_t stime = 3, uint64_t rss = 10,
           uint64_t flags = kUserFlags) {
    const std::string dir = std::to_string(pid) + "/";
    root_.Write(dir + "stat", StatLine(pid, comm, utime, stime, start, rss, flags));
    root_.Write(dir + "status", StatusText(comm, uid));
    root_.Write(dir + "cmdline", cmdline);
  }
  void Remove(int pid, const std::string& file) {
    std::filesystem::remove(root_.path() / std::to_string(pid) / file);
  }
  std::string root() const { return root_.path().string(); }
  const TempFolder& folder() const { return root_; }

 private:
  TempFolder root_;
};

std::map<int, ProcessInfo> ByPid(const ProcessSnapshot& snapshot) {
  std::map<int, ProcessInfo> byPid;
  for (const ProcessInfo& p : snapshot.processes) byPid[p.pid] = p;
  return byPid;
}

const ProcessInfo* FindPid(const ProcessSnapshot& snapshot, int pid) {
  for (const ProcessInfo& p : snapshot.processes) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

// ---- Crafted proc roots --------------------------------------------------------------------

TEST(ProcProcessListerFakeTest, ReadsTheFieldsOfStat) {
  FakeProc proc;
  proc.Add(100, "sleepy", 0,
           std::string("/bin/sleepy\0"
                       "10\0",
                       15),
           12345, 250, 150, 789);
  proc.Add(4242, "worker", 1000, "", 100 * kTicks + 3, 0, 1, 0);
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  ASSERT_EQ(byPid.size(), 2u);
  const ProcessInfo& a = byPid.at(100);
  EXPECT_EQ(a.name, "sleepy");
  EXPECT_EQ(a.cpuTimeNs, 400 * 1'000'000'000ULL / kTicks);
  EXPECT_EQ(a.workingSetBytes, 789 * kPage);
  EXPECT_EQ(a.startTicks, 12345u);
  EXPECT_EQ(a.creationTime, kBootTime + static_cast<int64_t>(12345 / kTicks));
  EXPECT_TRUE(a.systemAccount);
  EXPECT_EQ(a.uid, 0);
  const ProcessInfo& b = byPid.at(4242);
  EXPECT_EQ(b.name, "worker");
  EXPECT_EQ(b.creationTime, kBootTime + 100);
  EXPECT_FALSE(b.systemAccount);
  EXPECT_EQ(b.uid, 1000);
  EXPECT_EQ(lister.LastScan().listed, 2u);
  EXPECT_EQ(lister.LastScan().cacheMisses, 2u);
}

TEST(ProcProcessListerFakeTest, WorkingSetsAre64Bit) {
  FakeProc proc;
  const uint64_t pages = (uint64_t{5} << 30) / kPage;  // 5 GiB
  proc.Add(7, "big", 1000, "", 1, 0, 0, pages);
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  ASSERT_EQ(snapshot.processes.size(), 1u);
  EXPECT_EQ(snapshot.processes[0].workingSetBytes, uint64_t{5} << 30);
}

TEST(ProcProcessListerFakeTest, CommMayHoldBlanksAndParentheses) {
  FakeProc proc;
  proc.Add(31, "a) (b c)", 0);
  proc.Add(32, ")", 0);
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  ASSERT_EQ(byPid.size(), 2u);
  EXPECT_EQ(byPid.at(31).name, "a) (b c)");
  EXPECT_EQ(byPid.at(31).cpuTimeNs, 10 * 1'000'000'000ULL / kTicks);
  EXPECT_EQ(byPid.at(32).name, ")");
}

TEST(ProcProcessListerFakeTest, SkipsEntriesThatCannotBeRead) {
  FakeProc proc;
  proc.Add(100, "alive", 0);
  proc.Add(200, "gone", 0);
  proc.Remove(200, "stat");  // vanished before its stat was read
  proc.Add(300, "halfgone", 0);
  proc.Remove(300, "status");                                // vanished between stat and status
  proc.folder().Write("400/stat", "400 (broken S 1 2 3\n");  // not a stat line
  proc.folder().Write("500/stat", StatLine(500, "short", 1, 1, 1, 1).substr(0, 40));
  proc.folder().Write("self/stat", StatLine(1, "self", 1, 1, 1, 1));  // not a pid
  proc.folder().Write("12ab/stat", StatLine(1, "mixed", 1, 1, 1, 1));
  proc.folder().Write("sys/x", "");
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  ASSERT_EQ(snapshot.processes.size(), 1u);
  EXPECT_EQ(snapshot.processes[0].pid, 100);
  EXPECT_EQ(lister.LastScan().vanished, 4u);
}

TEST(ProcProcessListerFakeTest, FailsWithoutAProcessTableOrBootTime) {
  TempFolder empty;
  ProcessSnapshot snapshot;
  ProcProcessLister noStat(empty.path().string());
  EXPECT_FALSE(noStat.Snapshot(snapshot));
  ProcProcessLister noRoot(empty / "missing");
  EXPECT_FALSE(noRoot.Snapshot(snapshot));
}

TEST(ProcProcessListerFakeTest, NameIsTheExecutableImageElseTheTaskNameAsAClaim) {
  const struct {
    const char* what;
    const char* comm;
    const char* exe;  // target of the exe link; "" for none (another user's process, a kthread)
    std::string cmdline;
    const char* name;
    bool claimed;
    uint64_t flags = kUserFlags;
  } cases[] = {
      {"the executable, not the task name", "Web Content", "/usr/lib/firefox/firefox",
       std::string("/usr/lib/firefox/firefox\0-contentproc\0", 39), "firefox", false},
      {"a deleted executable", "Isolated Web Co", "/usr/lib/firefox/firefox (deleted)", "",
       "firefox", false},
      // argv[0] is the starter's to choose (exec -a): it never names a process.
      {"without the executable, the task name as a claim", "hog", "", "/usr/sbin/sshd -D", "hog",
       true},
      {"the task name, whatever argv[0] says", "nginx", "", "nginx: worker process", "nginx", true},
      {"a kernel thread's name is the kernel's", "kworker/u8:0-kvfree_rcu_reclaim", "", "",
       "kworker/u8:0-kvfree_rcu_reclaim", false, kKernelThreadFlags},
      {"control characters", "tab\tname", "/tmp/new\nline\x7f", "", "new?line?", false},
      {"control characters of the task name", "esc\x1b[0m", "", "", "esc?[0m", true},
      {"names stay whole", "victim#zzz", "/tmp/victim,zzz*(1)", "", "victim,zzz*(1)", false},
  };
  FakeProc proc;
  int pid = 10;
  for (const auto& c : cases) {
    proc.Add(pid, c.comm, 1000, c.cmdline, 500, 7, 3, 10, c.flags);
    if (*c.exe != '\0') {
      std::filesystem::create_symlink(c.exe, proc.folder().path() / std::to_string(pid) / "exe");
    }
    ++pid;
  }
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  pid = 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(byPid.count(pid));
    EXPECT_EQ(byPid.at(pid).name, c.name);
    EXPECT_EQ(byPid.at(pid).nameClaimed, c.claimed);
    ++pid;
  }
}

TEST(ProcProcessListerFakeTest, ExitedProcessesAreLeftOut) {
  FakeProc proc;
  proc.Add(10, "live", 1000);
  proc.Add(11, "zombie", 1000);
  proc.Add(12, "dead", 1000);
  proc.Add(13, "stopped", 1000);
  auto state = [&](int pid, const std::string& comm, char st) {
    std::string line = StatLine(pid, comm, 1, 1, 500, 0);
    line[line.find(") S ") + 2] = st;
    proc.folder().Write(std::to_string(pid) + "/stat", line);
  };
  state(11, "zombie", 'Z');
  state(12, "dead", 'X');
  state(13, "stopped", 'T');
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  EXPECT_EQ(byPid.size(), 2u);
  EXPECT_TRUE(byPid.count(10) && byPid.count(13));
  EXPECT_EQ(lister.LastScan().exited, 2u);
}

TEST(ProcProcessListerFakeTest, ServiceAccountsAreTheUidsOutsideTheLoginRange) {
  FakeProc proc;
  const struct {
    unsigned uid;
  } uids[] = {{0}, {999}, {1000}, {1500}, {2000}, {60000}, {61184}, {65534}};
  int pid = 10;
  for (const auto& u : uids) proc.Add(pid++, "u" + std::to_string(u.uid), u.uid);

  const struct {
    const char* what;
    std::string loginDefs;  // "" for no file at all
    std::set<unsigned> people;
  } cases[] = {
      {"no login.defs: 1000 to 60000", "", {1000, 1500, 2000, 60000}},
      {"the file's range",
       "# comment\nUID_MIN\t\t 1500\n#UID_MAX 9\nUID_MAX   2000 # people\nGID_MIN 5\n",
       {1500, 2000}},
      {"one bound given", "UID_MAX 1500\n", {1000, 1500}},
      {"values that are not numbers keep the defaults",
       "UID_MIN 12ab\nUID_MAX\n",
       {1000, 1500, 2000, 60000}},
      {"a minimum above the maximum", "UID_MIN 3000\nUID_MAX 2000\n", {1000, 1500, 2000, 60000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder etc;
    const std::string path =
        c.loginDefs.empty() ? etc / "missing" : etc.Write("login.defs", c.loginDefs);
    ProcProcessLister lister(proc.root(), path);
    ProcessSnapshot snapshot;
    ASSERT_TRUE(lister.Snapshot(snapshot));
    for (const ProcessInfo& p : snapshot.processes) {
      const unsigned uid = static_cast<unsigned>(std::stoul(p.name.substr(1)));
      EXPECT_EQ(p.systemAccount, c.people.count(uid) == 0) << uid;
    }
  }
}

TEST(ProcProcessListerFakeTest, WarmScanReadsOnlyStat) {
  FakeProc proc;
  proc.Add(10, "averyveryverylo", 0, "", 900);
  std::filesystem::create_symlink("/x/averyveryverylongname", proc.folder().path() / "10" / "exe");
  proc.Add(20, "plain", 1000, "", 901);
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(lister.LastScan().cacheMisses, 2u);

  // Without status and exe the processes are still listed, as they were: only stat is read.
  for (int pid : {10, 20}) {
    proc.Remove(pid, "status");
    proc.Remove(pid, "exe");
  }
  proc.folder().Write("10/stat", StatLine(10, "averyveryverylo", 50, 50, 900, 64));
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(lister.LastScan().cacheMisses, 0u);
  auto byPid = ByPid(snapshot);
  ASSERT_EQ(byPid.size(), 2u);
  EXPECT_EQ(byPid.at(10).name, "averyveryverylongname");
  EXPECT_TRUE(byPid.at(10).systemAccount);
  EXPECT_EQ(byPid.at(10).cpuTimeNs, 100 * 1'000'000'000ULL / kTicks);  // fresh figures
  EXPECT_EQ(byPid.at(10).workingSetBytes, 64 * kPage);
  EXPECT_EQ(byPid.at(20).name, "plain");
  EXPECT_FALSE(byPid.at(20).systemAccount);
  EXPECT_EQ(byPid.at(20).uid, 1000) << "kept with the name";

  // A new comm (an exec) or a new start time (a reused pid) is a new process: read again.
  proc.Add(10, "renamed", 1000, "", 900);
  proc.Add(20, "plain", 0, "", 77777);
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(lister.LastScan().cacheMisses, 2u);
  byPid = ByPid(snapshot);
  ASSERT_EQ(byPid.size(), 2u);
  EXPECT_EQ(byPid.at(10).name, "renamed");
  EXPECT_FALSE(byPid.at(10).systemAccount);
  EXPECT_TRUE(byPid.at(20).systemAccount);
  EXPECT_EQ(byPid.at(20).startTicks, 77777u);

  // A process that ended leaves the cache: when its pid comes back it is read again.
  std::filesystem::remove_all(proc.folder().path() / "20");
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(snapshot.processes.size(), 1u);
  proc.Add(20, "plain", 1000, "", 77777);
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(lister.LastScan().cacheMisses, 1u);
  EXPECT_FALSE(ByPid(snapshot).at(20).systemAccount);
}

TEST(ProcProcessListerFakeTest, ManyProcessesInAnyDirectoryOrder) {
  FakeProc proc;
  for (int pid = 1; pid <= 300; ++pid) proc.Add(pid * 7, "p" + std::to_string(pid), 0);
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(snapshot.processes.size(), 300u);
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(lister.LastScan().cacheMisses, 0u);
  for (const ProcessInfo& p : snapshot.processes) {
    EXPECT_EQ(p.name, "p" + std::to_string(p.pid / 7));
  }
}

// ---- The real /proc ------------------------------------------------------------------------

TEST(ProcProcessListerTest, ListsAChildWithNamePidAndCreationTime) {
  const int64_t before = time(nullptr);
  Child child(linuxtest::HogPath(), {"sleep"});
  ASSERT_TRUE(child.WaitReady());
  const int64_t after = time(nullptr);
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  const ProcessInfo* p = FindPid(snapshot, child.pid());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->name, "tarnwick_hog");
  // btime and the start time are whole seconds and ticks: allow a second of rounding each way.
  EXPECT_GE(p->creationTime, before - 2);
  EXPECT_LE(p->creationTime, after + 2);
  EXPECT_TRUE(p->systemAccount);  // root's process
  EXPECT_GT(p->workingSetBytes, 0u);
  EXPECT_GT(p->startTicks, 0u);

  const ProcessInfo* self = FindPid(snapshot, getpid());
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(self->name, "tarnwick_linux_tests");  // comm "tarnwick_linux_" extended

  // Enumeration order is /proc's: ascending pids, each once.
  for (size_t i = 1; i < snapshot.processes.size(); ++i) {
    EXPECT_LT(snapshot.processes[i - 1].pid, snapshot.processes[i].pid);
  }
}

// The owner is the real uid, whatever the effective one (the owner of /proc/[pid] would follow
// the effective uid, or be root for a process that is not dumpable).
TEST(ProcProcessListerTest, SystemAccountFollowsTheRealUid) {
  ASSERT_EQ(getuid(), 0u) << "run as root";
  TempFolder folder;
  const std::string hog = folder.CopyHog("uidhog");
  Child user(hog, {"sleep"}, ChildOptions::WithIds(Ids{1000, 1000, 1000, 1000}));
  Child realUser(hog, {"sleep"}, ChildOptions::WithIds(Ids{1000, 0, 0, 1000}));
  Child realRoot(hog, {"sleep"}, ChildOptions::WithIds(Ids{0, 1000, 0, 1000}));
  Child root(hog, {"sleep"});
  Child nobody(hog, {"sleep"}, ChildOptions::WithIds(Ids{65534, 65534, 65534, 65534}));
  Child dynamicUser(hog, {"sleep"}, ChildOptions::WithIds(Ids{61184, 61184, 61184, 61184}));
  for (Child* c : {&user, &realUser, &realRoot, &root, &nobody, &dynamicUser}) {
    ASSERT_TRUE(c->WaitReady());
  }
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  ASSERT_TRUE(byPid.count(user.pid()) && byPid.count(realUser.pid()) &&
              byPid.count(realRoot.pid()) && byPid.count(root.pid()));
  EXPECT_FALSE(byPid.at(user.pid()).systemAccount);
  EXPECT_FALSE(byPid.at(realUser.pid()).systemAccount);
  EXPECT_TRUE(byPid.at(realRoot.pid()).systemAccount);
  EXPECT_TRUE(byPid.at(root.pid()).systemAccount);
  ASSERT_TRUE(byPid.count(nobody.pid()) && byPid.count(dynamicUser.pid()));
  EXPECT_TRUE(byPid.at(nobody.pid()).systemAccount);
  EXPECT_TRUE(byPid.at(dynamicUser.pid()).systemAccount);
  EXPECT_EQ(byPid.at(user.pid()).name, "uidhog");
}

// Whatever a process calls itself, it is named by its executable; under another user, whose
// executable link only root may read, too.
TEST(ProcProcessListerTest, NameIsTheExecutableWhateverArgv0AndTaskName) {
  TempFolder folder;
  const std::string hog = folder.CopyHog("averyveryverylongname");
  Child full(hog, {"sleep"});
  Child argv0(hog, {"sleep"}, ChildOptions::WithArgv0("something-else"));
  Child renamed(hog, {"as", "Web Content", "sleep"});
  Child user(hog, {"as", "Isolated Web Co", "sleep"},
             ChildOptions::WithIds(Ids{1000, 1000, 1000, 1000}));
  for (Child* c : {&full, &argv0, &renamed, &user}) ASSERT_TRUE(c->WaitReady());
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  for (Child* c : {&full, &argv0, &renamed, &user}) {
    ASSERT_TRUE(byPid.count(c->pid()));
    EXPECT_EQ(byPid.at(c->pid()).name, "averyveryverylongname");
  }
}

// What this process lists with CAP_SYS_PTRACE given up, as the shipped service unit runs: each
// process as "pid name claimed" lines. The lister runs in a child, so the test keeps its powers.
std::map<int, std::pair<std::string, bool>> ListedWithoutTracing() {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t checker = ::fork();
  if (checker == 0) {
    ::close(fds[0]);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) ::_exit(10);
    const uint32_t bit = 1u << (CAP_SYS_PTRACE % 32);
    data[CAP_SYS_PTRACE / 32].effective &= ~bit;
    data[CAP_SYS_PTRACE / 32].permitted &= ~bit;
    if (::syscall(SYS_capset, &header, data) != 0) ::_exit(11);
    ProcProcessLister lister;
    ProcessSnapshot snapshot;
    if (!lister.Snapshot(snapshot)) ::_exit(12);
    std::string text;
    for (const ProcessInfo& p : snapshot.processes) {
      text += std::to_string(p.pid) + " " + p.name + " " + (p.nameClaimed ? "1" : "0") + "\n";
    }
    const bool written =
        ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::_exit(written ? 0 : 13);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, n);
  ::close(fds[0]);
  ::waitpid(checker, nullptr, 0);
  std::map<int, std::pair<std::string, bool>> listed;
  std::istringstream lines(text);
  int pid = 0;
  std::string name;
  int claimed = 0;
  while (lines >> pid >> name >> claimed) listed[pid] = {name, claimed != 0};
  return listed;
}

// Without the right to read another user's executable link, a process is named by its task
// name, which exec sets from the file and `exec -a` cannot change, marked as the process's own
// claim since prctl can; argv[0] never names it. With the right, the executable does.
TEST(ProcProcessListerTest, WithoutTheExecutableTheTaskNameIsAClaimNeverArgv0) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start processes of another user";
  TempFolder folder;
  const Ids user{1000, 1000, 1000, 1000};
  ChildOptions asSshd = ChildOptions::WithIds(user);
  asSshd.argv0 = "/usr/sbin/sshd";
  Child startedAs(folder.CopyHog("stresshog"), {"sleep"}, asSshd);
  Child renamed(folder.CopyHog("listedhog"), {"as", "bash", "sleep"}, ChildOptions::WithIds(user));
  for (Child* c : {&startedAs, &renamed}) ASSERT_TRUE(c->WaitReady());

  const struct {
    const char* what;
    Child& child;
    const char* withTracing;
    const char* without;
    bool claimedWithout;
  } cases[] = {
      {"another user's, started as sshd", startedAs, "stresshog", "stresshog", true},
      {"another user's, renamed bash", renamed, "listedhog", "bash", true},
  };
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  const auto withTracing = ByPid(snapshot);
  const auto without = ListedWithoutTracing();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(withTracing.count(c.child.pid()) && without.count(c.child.pid()));
    EXPECT_EQ(withTracing.at(c.child.pid()).name, c.withTracing);
    EXPECT_FALSE(withTracing.at(c.child.pid()).nameClaimed);
    EXPECT_EQ(without.at(c.child.pid()).first, c.without);
    EXPECT_EQ(without.at(c.child.pid()).second, c.claimedWithout);
  }
}

// Names of executables that a program may choose to cut or split lists are taken whole; a line
// break shows as "?".
TEST(ProcProcessListerTest, HostileExecutableNamesAreTakenWhole) {
  TempFolder folder;
  const std::string names[] = {"victim#zzz", "victim,zzz", "a*b(c)", "new\nline"};
  std::vector<std::unique_ptr<Child>> children;
  for (const std::string& name : names) {
    children.push_back(
        std::make_unique<Child>(folder.CopyHog(name), std::vector<std::string>{"sleep"}));
    ASSERT_TRUE(children.back()->WaitReady()) << name;
  }
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  const char* shown[] = {"victim#zzz", "victim,zzz", "a*b(c)", "new?line"};
  for (size_t i = 0; i < children.size(); ++i) {
    ASSERT_TRUE(byPid.count(children[i]->pid()));
    EXPECT_EQ(byPid.at(children[i]->pid()).name, shown[i]);
  }
}

// A child that has exited and is not yet collected is a zombie: it is not listed, while a live
// process of the same name is.
TEST(ProcProcessListerTest, RealZombieIsLeftOut) {
  TempFolder folder;
  const std::string hog = folder.CopyHog("zombiehog");
  Child zombie(hog, {"sleep", "0"});
  Child live(hog, {"sleep"});
  ASSERT_TRUE(zombie.WaitReady());
  ASSERT_TRUE(live.WaitReady());
  // Wait until it has exited, without collecting it.
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(zombie.pid()), &info, WEXITED | WNOWAIT), 0);
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(FindPid(snapshot, zombie.pid()), nullptr);
  EXPECT_NE(FindPid(snapshot, live.pid()), nullptr);
  EXPECT_GE(lister.LastScan().exited, 1u);
}

// A process whose main thread has ended (pthread_exit) while another thread burns and holds
// memory is live: listed under its executable's name, with its owner, the CPU time of all its
// threads and its memory, by a lister that never saw it before and by one that did; so is one
// whose live threads stand behind 50 ended ones that a tracer holds.
TEST(ProcProcessListerTest, ProcessWhoseMainThreadEndedIsListedWhole) {
  TempFolder folder;
  const std::string hog = folder.CopyHog("headlesshog");
  Child burner(hog, {"detach", "burn"}, ChildOptions::WithIds(Ids{1000, 1000, 1000, 1000}));
  Child holder(hog, {"detach", "touch", "64"});
  Child ghosts(hog, {"ghosts", "50", "2"}, ChildOptions::WithIds(Ids{1000, 1000, 1000, 1000}));
  ASSERT_TRUE(burner.WaitReady());
  ASSERT_TRUE(holder.WaitReady());
  ASSERT_TRUE(ghosts.WaitReady());
  ASSERT_TRUE(linuxtest::WaitMainThreadEnded(burner.pid()));
  ASSERT_TRUE(linuxtest::WaitMainThreadEnded(holder.pid()));
  ASSERT_TRUE(linuxtest::WaitMainThreadEnded(ghosts.pid()));

  ProcProcessLister warm;
  ProcessSnapshot first;
  ASSERT_TRUE(warm.Snapshot(first));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ProcessSnapshot second;
  ASSERT_TRUE(warm.Snapshot(second));
  ProcProcessLister fresh;
  ProcessSnapshot third;
  ASSERT_TRUE(fresh.Snapshot(third));
  for (const ProcessSnapshot* snapshot : {&first, &second, &third}) {
    const ProcessInfo* b = FindPid(*snapshot, burner.pid());
    const ProcessInfo* h = FindPid(*snapshot, holder.pid());
    const ProcessInfo* g = FindPid(*snapshot, ghosts.pid());
    ASSERT_TRUE(b != nullptr && h != nullptr && g != nullptr);
    EXPECT_EQ(b->name, "headlesshog");
    EXPECT_EQ(h->name, "headlesshog");
    EXPECT_EQ(g->name, "headlesshog");
    EXPECT_FALSE(b->systemAccount);
    EXPECT_TRUE(h->systemAccount);
    EXPECT_GE(h->workingSetBytes, uint64_t{64} << 20);
    EXPECT_GT(b->workingSetBytes, 0u);
  }
  // The ended main thread uses nothing: what the process used is the burning thread's.
  const uint64_t burned =
      FindPid(second, burner.pid())->cpuTimeNs - FindPid(first, burner.pid())->cpuTimeNs;
  EXPECT_GT(burned, 0u);
  const uint64_t spun =
      FindPid(second, ghosts.pid())->cpuTimeNs - FindPid(first, ghosts.pid())->cpuTimeNs;
  EXPECT_GT(spun, 0u) << "the spinning threads' time is the process's";

  // Once its last thread has ended it is a zombie like any other, and left out.
  const pid_t pid = burner.pid();
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
  ASSERT_TRUE(warm.Snapshot(second));
  EXPECT_EQ(FindPid(second, pid), nullptr);
}

TEST(ProcProcessListerTest, EndedProcessIsLeftOut) {
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  Child child(linuxtest::HogPath(), {"sleep"});
  ASSERT_TRUE(child.WaitReady());
  const pid_t pid = child.pid();
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_NE(FindPid(snapshot, pid), nullptr);
  child.Kill();
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(FindPid(snapshot, pid), nullptr);
}

// Processes that come and go during the scans: every scan succeeds and lists each pid once.
TEST(ProcProcessListerTest, ScansWhileProcessesComeAndGo) {
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop) {
      const pid_t pid = fork();
      if (pid == 0) _exit(0);
      if (pid > 0) waitpid(pid, nullptr, 0);
    }
  });
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  size_t vanished = 0;
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(lister.Snapshot(snapshot));
    std::set<int> seen;
    for (const ProcessInfo& p : snapshot.processes) {
      EXPECT_TRUE(seen.insert(p.pid).second);
      EXPECT_FALSE(p.name.empty());
    }
    vanished += lister.LastScan().vanished;
  }
  stop = true;
  churn.join();
  RecordProperty("vanished", static_cast<int>(vanished));
}

TEST(ProcProcessListerTest, WarmScanReadsNamesOnlyForNewProcesses) {
  ProcProcessLister lister;
  ProcessSnapshot first;
  ProcessSnapshot second;
  ASSERT_TRUE(lister.Snapshot(first));
  EXPECT_EQ(lister.LastScan().cacheMisses, first.processes.size());
  ASSERT_TRUE(lister.Snapshot(second));
  std::map<int, std::pair<uint64_t, std::string>> earlier;
  for (const ProcessInfo& p : first.processes) earlier[p.pid] = {p.startTicks, p.name};
  size_t changed = 0;
  for (const ProcessInfo& p : second.processes) {
    auto it = earlier.find(p.pid);
    if (it == earlier.end() || it->second.first != p.startTicks || it->second.second != p.name) {
      ++changed;
    }
  }
  EXPECT_LE(lister.LastScan().cacheMisses, changed);
}

}  // namespace
}  // namespace tarnwick
