// ProcCpuCounters and ProcMemoryReader on crafted proc roots and on the real /proc, and
// LinuxSystemInfo on this machine.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "linux_test_support.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_stat.h"

namespace tarnwick {
namespace {

using linuxtest::TempFolder;

constexpr char kStat[] =
    "cpu  10 20 30 40 50 60 70 80 90 100\n"
    "cpu0 5 10 15 20 25 30 35 40 45 50\n"
    "cpu1 5 10 15 20 25 30 35 40 45 50\n"
    "cpu2 0 0 0 0 0 0 0 0 0 0\n"
    "intr 12345 0 0 0\n"
    "ctxt 999\n"
    "btime 1700000000\n"
    "processes 4242\n";

TEST(ProcCpuCountersTest, SumsTheCpuLineWithoutGuestTimes) {
  TempFolder root;
  root.Write("stat", kStat);
  ProcCpuCounters counters(root.path().string());
  CpuTimes times;
  ASSERT_TRUE(counters.Read(times));
  EXPECT_EQ(times.idle, 40u + 50u);                                // idle + iowait
  EXPECT_EQ(times.total, 10u + 20 + 30 + 40 + 50 + 60 + 70 + 80);  // guest fields left out
  EXPECT_EQ(times.processors, 3u);
}

TEST(ProcCpuCountersTest, LargeCountersStay64Bit) {
  TempFolder root;
  root.Write("stat", "cpu  1 0 0 9000000000000 0 0 0 0 0 0\ncpu0 1 0 0 9000000000000 0 0 0 0\n");
  ProcCpuCounters counters(root.path().string());
  CpuTimes times;
  ASSERT_TRUE(counters.Read(times));
  EXPECT_EQ(times.idle, 9000000000000u);
  EXPECT_EQ(times.total, 9000000000001u);
  EXPECT_EQ(times.processors, 1u);
}

TEST(ProcCpuCountersTest, FailsOnMissingOrShortData) {
  TempFolder root;
  CpuTimes times;
  ProcCpuCounters missing(root.path().string());
  EXPECT_FALSE(missing.Read(times));

  root.Write("stat", "cpu  10 20 30 40\ncpu0 10 20 30 40\n");  // steal etc. missing
  ProcCpuCounters shortLine(root.path().string());
  EXPECT_FALSE(shortLine.Read(times));

  root.Write("stat", "cpu0 1 2 3 4 5 6 7 8\n");  // no total line
  EXPECT_FALSE(shortLine.Read(times));

  root.Write("stat", "cpu  1 2 3 4 5 6 7 8\nintr 0\n");  // no processor lines
  EXPECT_FALSE(shortLine.Read(times));

  root.Write("stat", "");
  EXPECT_FALSE(shortLine.Read(times));
}

TEST(ProcCpuCountersTest, ReadsTheRealProcStat) {
  ProcCpuCounters counters;
  CpuTimes first;
  ASSERT_TRUE(counters.Read(first));
  std::ifstream stat("/proc/stat");
  std::string line;
  uint32_t lines = 0;
  while (std::getline(stat, line)) {
    if (line.size() > 3 && line.compare(0, 3, "cpu") == 0 && std::isdigit(line[3])) ++lines;
  }
  EXPECT_EQ(first.processors, lines);
  EXPECT_GT(first.total, first.idle);
  CpuTimes second;
  ASSERT_TRUE(counters.Read(second));
  EXPECT_GE(second.total, first.total);
  EXPECT_GE(second.idle, first.idle);
}

// A stat line whose task name is `comm`; the fields the parser reads are 9 (flags), 14 and 15
// (times), 20 (threads), 22 (start) and 24 (rss), the rest plausible fillers.
std::string StatWithName(const std::string& comm, const std::string& rss = "77") {
  return "4242 (" + comm + ") S 1 4242 4242 0 -1 4194560 120 0 3 0 11 22 0 0 20 0 3 0 5555 " +
         "12345678 " + rss + " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0\n";
}

// The task name is the process's to choose: only the last ")" of the line closes it, so text
// inside it that looks like fields is never read as fields.
TEST(ProcStatParserTest, NameWithBlanksAndParenthesesLeavesTheFieldsAlone) {
  const struct {
    const char* what;
    std::string comm;
  } cases[] = {
      {"plain", "bash"},
      {"blanks", "Web Content"},
      {"opening parenthesis", "a(b"},
      {"closing parenthesis", "a)b"},
      {"fake fields", "x) Z 1 2 3 4 5 6 (y"},
      {"ends in a parenthesis and a blank", "kworker) "},
      {"only parentheses", ")))((("},
      {"line break", "two\nlines"},
      {"empty", ""},
      {"fifteen characters", "averyveryverylo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string line = StatWithName(c.comm);
    proc::StatFields fields;
    ASSERT_TRUE(proc::ParseStat(line, fields));
    EXPECT_EQ(fields.comm, c.comm);
    EXPECT_EQ(fields.state, 'S');
    EXPECT_EQ(fields.flags, 4194560u);
    EXPECT_EQ(fields.utime, 11u);
    EXPECT_EQ(fields.stime, 22u);
    EXPECT_EQ(fields.numThreads, 3u);
    EXPECT_EQ(fields.startTime, 5555u);
    EXPECT_EQ(fields.rssPages, 77u);
  }
}

TEST(ProcStatParserTest, LinesItCannotReadAreRefused) {
  const std::string whole = StatWithName("ok");
  const struct {
    const char* what;
    std::string line;
    bool parsed;
    uint64_t rssPages;
  } cases[] = {
      {"whole line", whole, true, 77},
      {"stops after rss", whole.substr(0, whole.find(" 18446744073709551615")), true, 77},
      {"negative rss reads as 0", StatWithName("ok", "-1"), true, 0},
      {"cut before rss", whole.substr(0, whole.find(" 77 ")), false, 0},
      {"cut inside the name", "4242 (half", false, 0},
      {"no name", "4242 S 1 2 3", false, 0},
      {"closing before opening", "4242 )x( S", false, 0},
      {"letters for a number", StatWithName("ok", "many"), false, 0},
      {"two blanks between fields", "4242 (ok)  S 1", false, 0},
      {"empty", "", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    proc::StatFields fields;
    EXPECT_EQ(proc::ParseStat(c.line, fields), c.parsed);
    if (c.parsed) {
      EXPECT_EQ(fields.rssPages, c.rssPages);
    }
  }
}

constexpr char kMeminfo[] =
    "MemTotal:       25000000 kB\n"
    "MemFree:          100000 kB\n"
    "MemAvailable:    3000000 kB\n"
    "Buffers:            1000 kB\n";

TEST(ProcMemoryReaderTest, ReadsKilobytesAsBytesIn64Bits) {
  TempFolder root;
  root.Write("meminfo", kMeminfo);
  ProcMemoryReader reader(root.path().string());
  EXPECT_EQ(reader.GetRamAmount(), int64_t{25000000} * 1024);
  // 3,072,000,000 bytes: above 2^31, still positive.
  EXPECT_EQ(reader.GetAvailableBytes(), int64_t{3000000} * 1024);
  EXPECT_GT(reader.GetAvailableBytes(), int64_t{1} << 31);
}

TEST(ProcMemoryReaderTest, MissingFieldOrFileIsMinusOne) {
  TempFolder root;
  ProcMemoryReader reader(root.path().string());
  EXPECT_EQ(reader.GetRamAmount(), -1);
  EXPECT_EQ(reader.GetAvailableBytes(), -1);

  root.Write("meminfo", "MemTotal:       8000000 kB\nMemFree:  100 kB\n");
  EXPECT_EQ(reader.GetRamAmount(), int64_t{8000000} * 1024);
  EXPECT_EQ(reader.GetAvailableBytes(), -1);

  root.Write("meminfo", "MemTotal:  kB\nMemAvailable: 12 kB\n");
  EXPECT_EQ(reader.GetRamAmount(), -1);
  EXPECT_EQ(reader.GetAvailableBytes(), 12 * 1024);
}

TEST(ProcMemoryReaderTest, ReadsTheRealMeminfo) {
  ProcMemoryReader reader;
  const int64_t total = reader.GetRamAmount();
  const int64_t available = reader.GetAvailableBytes();
  EXPECT_GT(total, int64_t{64} << 20);
  EXPECT_GT(available, 0);
  EXPECT_LE(available, total);
}

TEST(LinuxSystemInfoTest, ProcessorCountFollowsTheAffinityMask) {
  LinuxSystemInfo info;
  cpu_set_t set;
  CPU_ZERO(&set);
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  EXPECT_EQ(info.ProcessorCount(), CPU_COUNT(&set));
  EXPECT_GE(info.ProcessorCount(), 1);
}

TEST(LinuxSystemInfoTest, NamesAndFolders) {
  LinuxSystemInfo info;
  utsname uts{};
  ASSERT_EQ(uname(&uts), 0);
  EXPECT_EQ(info.ComputerName(), uts.nodename);
  EXPECT_EQ(info.ProgramFolder(),
            std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
  EXPECT_EQ(info.PathSeparator(), "/");
  EXPECT_EQ(info.ExecutableSuffix(), "");
  EXPECT_EQ(info.OwnExecutableName(), "tarnwick");
}

TEST(LinuxSystemInfoTest, LogFolderIsUnderHome) {
  LinuxSystemInfo info;
  const char* old = std::getenv("HOME");
  const std::string saved = old != nullptr ? old : "";
  setenv("HOME", "/home/somebody", 1);
  EXPECT_EQ(info.LogFolder(), "/home/somebody/monitor_log");
  setenv("HOME", "/home/somebody/", 1);
  EXPECT_EQ(info.LogFolder(), "/home/somebody/monitor_log");
  unsetenv("HOME");
  const passwd* entry = getpwuid(getuid());
  ASSERT_NE(entry, nullptr);
  std::string home = entry->pw_dir;
  if (home == "/") home.clear();
  EXPECT_EQ(info.LogFolder(), home + "/monitor_log");
  if (old != nullptr) setenv("HOME", saved.c_str(), 1);
}

TEST(LinuxSystemInfoTest, EnsureFolderCreatesParents) {
  TempFolder root;
  LinuxSystemInfo info;
  const std::string deep = root / "a/b/c";
  EXPECT_TRUE(info.EnsureFolder(deep));
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  const mode_t mask = umask(0);
  umask(mask);
  const auto perms = std::filesystem::status(root / "a/b").permissions();
  EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms(0755 & ~mask));
  EXPECT_TRUE(info.EnsureFolder(deep));  // already there
  const std::string file = root.Write("plain", "x");
  EXPECT_FALSE(info.EnsureFolder(file + "/below"));
  EXPECT_FALSE(info.EnsureFolder(""));
}

// Runs RaisePriority in a child (the nice value would stay with this process) under the given
// uid; the child's nice value afterwards, or a large number when it failed.
int NiceAfterRaise(uid_t uid) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (uid != 0 && setresuid(uid, uid, uid) != 0) _exit(100);
    LinuxSystemInfo info;
    info.RaisePriority();
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    _exit(nice + 20);  // 0..39
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) - 20 : 1000;
}

TEST(LinuxSystemInfoTest, RaisePriorityRaisesOrIsRefusedQuietly) {
  ASSERT_EQ(getuid(), 0u) << "run as root";
  errno = 0;
  const int before = getpriority(PRIO_PROCESS, 0);
  EXPECT_EQ(NiceAfterRaise(0), -10);
  // Without CAP_SYS_NICE the call is refused, and the refusal ignored.
  EXPECT_EQ(NiceAfterRaise(1000), before);
}

}  // namespace
}  // namespace tarnwick
