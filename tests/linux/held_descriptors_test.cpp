// ProcProcessLister's held /proc/[pid]/stat descriptors on the real /proc: a warm scan opens
// nothing, a pid taken over by a new process within one scan is read as the new process, and
// under a low descriptor limit the processes beyond it are still read (open/read/close).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "linux_test_support.h"
#include "platform/linux/proc_process_lister.h"

namespace tarnwick {
namespace {

using linuxtest::Child;
using linuxtest::TempFolder;

const ProcessInfo* FindPid(const ProcessSnapshot& snapshot, int pid) {
  for (const ProcessInfo& p : snapshot.processes) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

// Field 22 of the process's stat line (its start time in clock ticks), 0 when unreadable.
uint64_t StartTicks(pid_t pid) {
  const std::string line = linuxtest::ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  for (int i = 3; fields >> field; ++i) {
    if (i == 22) return std::stoull(field);
  }
  return 0;
}

TEST(HeldDescriptorsTest, WarmScanOpensOnlyNewProcesses) {
  ProcProcessLister lister;
  ProcessSnapshot first;
  ProcessSnapshot second;
  ASSERT_TRUE(lister.Snapshot(first));
  EXPECT_GE(lister.LastScan().opened, first.processes.size());
  EXPECT_LE(lister.LastScan().opened,
            first.processes.size() + lister.LastScan().vanished + lister.LastScan().exited);
  EXPECT_EQ(lister.LastScan().held, first.processes.size());
  ASSERT_TRUE(lister.Snapshot(second));
  std::set<std::pair<int, uint64_t>> earlier;
  for (const ProcessInfo& p : first.processes) earlier.emplace(p.pid, p.startTicks);
  size_t fresh = 0;
  for (const ProcessInfo& p : second.processes) fresh += earlier.count({p.pid, p.startTicks}) == 0;
  // Other builds start processes beside the test: whatever is new was opened, nothing else.
  EXPECT_LE(lister.LastScan().opened,
            fresh + lister.LastScan().vanished + lister.LastScan().exited);
  EXPECT_EQ(lister.LastScan().held, second.processes.size());
}

// Gives the next process started on this machine the pid `pid` (as root, through the pid
// namespace's last pid); false when that cannot be asked for.
bool NextPidWillBe(pid_t pid) {
  std::ofstream lastPid("/proc/sys/kernel/ns_last_pid");
  lastPid << pid - 1;
  lastPid.flush();
  return static_cast<bool>(lastPid);
}

// A process ends and a new one gets its pid before the next scan. The new one shows the same
// task name as the old one, so that only the held descriptor tells them apart should both have
// started within the same clock tick.
TEST(HeldDescriptorsTest, PidTakenOverWithinOneScanIsReadAsTheNewProcess) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to choose the next pid";
  TempFolder folder;
  const std::string firstProgram = folder.CopyHog("firsthog");
  const std::string secondProgram = folder.CopyHog("secondhog");
  ProcProcessLister lister;
  ProcessSnapshot snapshot;

  // Other builds fork beside the test and may take the pid first: try again a few times.
  for (int attempt = 0; attempt < 50; ++attempt) {
    auto first = std::make_unique<Child>(firstProgram, std::vector<std::string>{"sleep"});
    ASSERT_TRUE(first->WaitReady());
    const pid_t pid = first->pid();
    ASSERT_TRUE(lister.Snapshot(snapshot));
    const ProcessInfo* before = FindPid(snapshot, pid);
    ASSERT_NE(before, nullptr);
    ASSERT_EQ(before->name, "firsthog");
    const uint64_t firstStart = before->startTicks;
    const int oldStat = ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY);
    ASSERT_GE(oldStat, 0);

    first->Kill();
    if (!NextPidWillBe(pid)) {
      ::close(oldStat);
      GTEST_SKIP() << "the next pid cannot be chosen here";
    }
    Child second(secondProgram, {"as", "firsthog", "sleep"});
    if (second.pid() != pid) {
      ::close(oldStat);
      continue;
    }
    ASSERT_TRUE(second.WaitReady());

    // What the lister relies on: the old descriptor no longer reads, though the pid is alive.
    char text[512];
    errno = 0;
    EXPECT_LT(::pread(oldStat, text, sizeof text, 0), 0);
    EXPECT_EQ(errno, ESRCH);
    ::close(oldStat);

    ASSERT_TRUE(lister.Snapshot(snapshot));
    size_t listed = 0;
    for (const ProcessInfo& p : snapshot.processes) listed += p.pid == pid;
    EXPECT_EQ(listed, 1u);
    const ProcessInfo* after = FindPid(snapshot, pid);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->name, "secondhog") << "never the ended process's name";
    EXPECT_EQ(after->startTicks, StartTicks(pid));
    EXPECT_GE(after->startTicks, firstStart);
    EXPECT_GE(lister.LastScan().cacheMisses, 1u);
    EXPECT_GE(lister.LastScan().opened, 1u);
    return;
  }
  GTEST_SKIP() << "other processes took the pid every time";
}

// What a scan under `ulimit -n 64` saw, written by the child that ran it.
struct LowLimitScan {
  size_t holdLimit = 0;
  size_t listed = 0;
  size_t held = 0;
  size_t opened = 0;
  size_t sleepers = 0;  // the test's sleeping children listed under their name
  bool stillOpens = false;
};

// Scans twice in a child whose descriptor limit (soft and hard) is 64, as under `ulimit -n 64`.
LowLimitScan ScanUnderLowLimit(const std::set<pid_t>& sleepers) {
  int report[2];
  if (::pipe(report) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only the report stays open: the descriptors inherited from the test would leave none free.
    ::dup2(report[1], 3);
    ::close_range(4, ~0U, 0);
    const struct rlimit low { 64, 64 };
    if (::setrlimit(RLIMIT_NOFILE, &low) != 0) ::_exit(1);
    ProcProcessLister lister;
    ProcessSnapshot snapshot;
    if (!lister.Snapshot(snapshot) || !lister.Snapshot(snapshot)) ::_exit(2);
    size_t named = 0;
    for (const ProcessInfo& p : snapshot.processes) {
      named += sleepers.count(p.pid) != 0 && p.name == "lowlimithog";
    }
    const int probe = ::open("/dev/null", O_RDONLY);
    std::ostringstream out;
    out << lister.HoldLimit() << ' ' << lister.LastScan().listed << ' ' << lister.LastScan().held
        << ' ' << lister.LastScan().opened << ' ' << named << ' ' << (probe >= 0) << '\n';
    const std::string text = out.str();
    const bool written = ::write(3, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::_exit(written ? 0 : 3);
  }
  ::close(report[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(report[0]);
  int status = -1;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  LowLimitScan scan;
  std::istringstream in(text);
  in >> scan.holdLimit >> scan.listed >> scan.held >> scan.opened >> scan.sleepers >>
      scan.stillOpens;
  return scan;
}

TEST(HeldDescriptorsTest, BeyondALowDescriptorLimitProcessesAreReadByPath) {
  TempFolder folder;
  const std::string program = folder.CopyHog("lowlimithog");
  constexpr size_t kSleepers = 80;  // more processes than the limit alone
  std::vector<std::unique_ptr<Child>> children;
  std::set<pid_t> pids;
  for (size_t i = 0; i < kSleepers; ++i) {
    children.push_back(std::make_unique<Child>(program, std::vector<std::string>{"sleep"}));
    pids.insert(children.back()->pid());
  }
  for (auto& child : children) ASSERT_TRUE(child->WaitReady());

  const LowLimitScan scan = ScanUnderLowLimit(pids);
  EXPECT_EQ(scan.sleepers, kSleepers) << "every process read, held or not";
  EXPECT_GT(scan.listed, 64u);
  EXPECT_GT(scan.holdLimit, 0u);
  EXPECT_LT(scan.holdLimit, 64u);
  EXPECT_EQ(scan.held, scan.holdLimit) << "held up to the limit, no further";
  EXPECT_GE(scan.opened, scan.listed - scan.held) << "the rest opened by path on a warm scan";
  EXPECT_TRUE(scan.stillOpens) << "descriptors left for the rest of the program";
}

}  // namespace
}  // namespace tarnwick
