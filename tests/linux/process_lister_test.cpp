// ProcProcessLister on crafted proc roots (parsing, skipping, the cache) and on the real /proc
// with child processes (names, owners, creation times, vanishing).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>

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
std::string StatLine(int pid, const std::string& comm, uint64_t utime, uint64_t stime,
                     uint64_t start, uint64_t rss) {
  return std::to_string(pid) + " (" + comm + ") S 1 " + std::to_string(pid) + " " +
         std::to_string(pid) + " 0 -1 4194560 120 0 3 0 " + std::to_string(utime) + " " +
         std::to_string(stime) + " 0 0 20 0 1 0 " + std::to_string(start) + " 12345678 " +
         std::to_string(rss) + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
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
           uint64_t start = 500, uint64_t utime = 7, uint64_t stime = 3, uint64_t rss = 10) {
    const std::string dir = std::to_string(pid) + "/";
    root_.Write(dir + "stat", StatLine(pid, comm, utime, stime, start, rss));
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
  const ProcessInfo& b = byPid.at(4242);
  EXPECT_EQ(b.name, "worker");
  EXPECT_EQ(b.creationTime, kBootTime + 100);
  EXPECT_FALSE(b.systemAccount);
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

TEST(ProcProcessListerFakeTest, CutCommIsExtendedFromArgv0) {
  FakeProc proc;
  // comm is 15 characters: argv[0]'s basename starting with it gives the whole name.
  proc.Add(10, "averyveryverylo", 0, std::string("/opt/x/averyveryverylongname\0--flag\0", 36));
  // argv[0] that does not start with comm (a program that renamed itself) keeps comm.
  proc.Add(11, "averyveryverylo", 0, std::string("other\0", 6));
  // comm shorter than 15 was not cut: argv[0] does not matter.
  proc.Add(12, "shortername", 0, std::string("/usr/bin/shorternamelonger\0", 27));
  // Kernel threads have no command line; worker threads show names longer than 15.
  proc.Add(13, "kworker/0:1-eve", 0, "");
  proc.Add(16, "kworker/u8:0-kvfree_rcu_reclaim", 0, "");
  // Without a slash, argv[0] is its own basename; a title without NULs is taken whole.
  proc.Add(14, "averyveryverylo", 0, "averyveryverylongname");
  // argv[0] exactly comm: nothing to extend.
  proc.Add(15, "averyveryverylo", 0, std::string("averyveryverylo\0", 16));
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  ASSERT_EQ(byPid.size(), 7u);
  EXPECT_EQ(byPid.at(16).name, "kworker/u8:0-kvfree_rcu_reclaim");
  EXPECT_EQ(byPid.at(10).name, "averyveryverylongname");
  EXPECT_EQ(byPid.at(11).name, "averyveryverylo");
  EXPECT_EQ(byPid.at(12).name, "shortername");
  EXPECT_EQ(byPid.at(13).name, "kworker/0:1-eve");
  EXPECT_EQ(byPid.at(14).name, "averyveryverylongname");
  EXPECT_EQ(byPid.at(15).name, "averyveryverylo");
}

TEST(ProcProcessListerFakeTest, WarmScanReadsOnlyStat) {
  FakeProc proc;
  proc.Add(10, "averyveryverylo", 0, std::string("/x/averyveryverylongname\0", 25), 900);
  proc.Add(20, "plain", 1000, "", 901);
  ProcProcessLister lister(proc.root());
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  EXPECT_EQ(lister.LastScan().cacheMisses, 2u);

  // Without status and cmdline the processes are still listed, as they were: only stat is read.
  for (int pid : {10, 20}) {
    proc.Remove(pid, "status");
    proc.Remove(pid, "cmdline");
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
  for (Child* c : {&user, &realUser, &realRoot, &root}) ASSERT_TRUE(c->WaitReady());
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
  EXPECT_EQ(byPid.at(user.pid()).name, "uidhog");
}

TEST(ProcProcessListerTest, LongNameIsExtendedFromArgv0) {
  TempFolder folder;
  const std::string hog = folder.CopyHog("averyveryverylongname");
  Child full(hog, {"sleep"});
  Child renamed(hog, {"sleep"}, ChildOptions::WithArgv0("something-else"));
  ASSERT_TRUE(full.WaitReady());
  ASSERT_TRUE(renamed.WaitReady());
  ProcProcessLister lister;
  ProcessSnapshot snapshot;
  ASSERT_TRUE(lister.Snapshot(snapshot));
  auto byPid = ByPid(snapshot);
  ASSERT_TRUE(byPid.count(full.pid()) && byPid.count(renamed.pid()));
  EXPECT_EQ(byPid.at(full.pid()).name, "averyveryverylongname");
  EXPECT_EQ(byPid.at(renamed.pid()).name, "averyveryverylo");  // comm as the kernel cut it
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
