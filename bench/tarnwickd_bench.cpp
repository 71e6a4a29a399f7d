// What tarnwickd costs the machine it watches, measured side by side with minimal loops doing the
// least such a monitor must do, all at a 1 s cycle for the same stretch of time, at several
// process counts (the machine is brought to each with sleeping children):
//
//   idle, history on    tarnwickd under its thresholds, recording the usage history (with its
//                       once-a-minute scan of the top processes)
//   idle, history off   the same without the history
//   alert path          tarnwickd with a CPU threshold of 0 %: every cycle ranks the processes
//   bare loop           reads /proc/stat and /proc/meminfo every second (open, read, close)
//   raw scan            the bare loop plus an open, read and close of every /proc/[pid]/stat
//                       every second
//
// It prints CPU-seconds per hour, resident, proportional and private memory of each, then the
// ratios: the alert path against the raw scan, one minute scan against one raw scan (measured in
// this process, and as the history's whole cost per minute side by side), idle against the bare
// loop, and idle at the highest level against the lowest. Last, at the highest
// level with every processor kept busy, it counts the alert path's cycles against the seconds
// of the stretch (each cycle writes one line with the leading process).
//
//   tarnwick_daemon_bench <tarnwickd> [seconds] [levels]
//
// seconds: the length of each stretch (default 60; a multiple of 60 holds the same number of
// minute scans for every copy); levels: process counts, default "100,1000,4000". Needs root or a
// process limit above the highest level.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bare_proc.h"
#include "common/clock.h"
#include "history/top_scan.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/posix/posix_file_system.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What the line an exceeding cycle writes ("<date> hh:mm:ss - CPU 97% exceed 0% for 12 times.
// TOP 1 : ...") holds after its percentage.
constexpr char kExceedMarker[] = "% exceed 0% for ";

std::string LocalHhMmSs(time_t when) {
  tm local{};
  localtime_r(&when, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

// ---- The loops (this program, started again) ---------------------------------------------

[[noreturn]] void Loop(bool scan) {
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  bare::CpuTimes last = bare::ReadCpu();
  for (;;) {
    ++next.tv_sec;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    const bare::CpuTimes now = bare::ReadCpu();
    const unsigned long long total = now.total - last.total;
    const unsigned long long cpu = total == 0 ? 0 : (now.busy - last.busy) * 100 / total;
    last = now;
    bare::g_sink = bare::g_sink + cpu + bare::MemoryPercent();
    if (scan) {
      unsigned long long maxCpu = 0;
      unsigned long long maxRss = 0;
      bare::ScanMaxima(maxCpu, maxRss);
      bare::g_sink = bare::g_sink + maxCpu + maxRss;
    }
  }
}

[[noreturn]] void Hog() {
  for (unsigned long long i = 0;; ++i) bare::g_sink = i;
}

// ---- Sleeping children for the process count ---------------------------------------------

std::vector<pid_t> g_sleepers;

int CountProcesses() {
  int n = 0;
  if (DIR* proc = opendir("/proc")) {
    while (const dirent* e = readdir(proc)) n += e->d_name[0] >= '1' && e->d_name[0] <= '9';
    closedir(proc);
  }
  return n;
}

// Adds sleeping children until about `target` processes run; the count then.
int FillTo(int target) {
  const pid_t parent = getpid();
  for (int missing = target - CountProcesses(); missing > 0; --missing) {
    const pid_t pid = fork();
    if (pid < 0) {
      std::fprintf(stderr, "fork failed after %zu children\n", g_sleepers.size());
      break;
    }
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(0);
      for (;;) pause();
    }
    g_sleepers.push_back(pid);
  }
  return CountProcesses();
}

void EndAll(std::vector<pid_t>& pids) {
  for (pid_t pid : pids) kill(pid, SIGKILL);
  for (pid_t pid : pids) waitpid(pid, nullptr, 0);
  pids.clear();
}

// ---- The subjects -------------------------------------------------------------------------

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const std::string& out = "/dev/null") {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("HOME=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0) continue;
    env.push_back(entry);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

std::string ReadSmall(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// CPU seconds of a running process: the scheduler's nanoseconds on CPU summed over its threads
// (clock ticks of 10 ms are too coarse for a program that runs a few ms a minute).
double CpuSeconds(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  if (DIR* dir = opendir(tasks.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
      const std::string line = ReadSmall(tasks + "/" + entry->d_name + "/schedstat");
      total += static_cast<double>(std::strtoull(line.c_str(), nullptr, 10)) * 1e-9;
    }
    closedir(dir);
  }
  return total;
}

// A "Name:   123 kB" figure of a /proc file, in MB; the sum when the name comes more than once.
double FieldMb(pid_t pid, const char* file, const std::string& name) {
  const std::string text = ReadSmall("/proc/" + std::to_string(pid) + "/" + file);
  double kb = 0;
  for (size_t at = text.find(name + ":"); at != std::string::npos;
       at = text.find("\n" + name + ":", at + 1)) {
    const size_t value = text.find(':', at) + 1;
    kb += static_cast<double>(std::strtoull(text.c_str() + value, nullptr, 10));
  }
  return kb / 1024.0;
}

// A program folder for tarnwickd with settings for a 1 s cycle and no alert ever sent; the
// history switches itself off when its file's place is taken by a folder.
fs::path MakeFolder(const fs::path& base, const std::string& name, const fs::path& tarnwickd,
                    const std::string& cpuHigh, bool history) {
  const fs::path folder = base / name;
  fs::create_directories(folder / "home" / "monitor_log");
  if (!history) fs::create_directories(folder / "home" / "monitor_log" / "Tarnwick_history.sqlite");
  fs::copy_file(tarnwickd, folder / "tarnwickd");
  tarnwick::Settings s;
  s.TimeInterval = "1";
  s.cpu_High = cpuHigh;
  s.mem_High = "101";
  s.num_High = "32000";
  s.num_Kill = "32000";
  s.host_Name = "bench";
  s.Enable_log = 0;
  tarnwick::PosixFileSystem files;
  files.ReplaceFile((folder / "setting.ini").string(), tarnwick::FormatSettingFile(s));
  return folder;
}

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// One minute scan of the history (the lister warm, as it is a minute after the previous scan)
// against one raw scan, in this process, in turn; milliseconds of CPU per scan, medians.
struct ScanCosts {
  double minuteMs = 0;
  double rawMs = 0;
};

ScanCosts MeasureScans() {
  tarnwick::ProcProcessLister lister;
  tarnwick::SystemClock clock;
  tarnwick::ProcessTopScan top(
      lister, clock, 2, [] { return int64_t{1} << 34; }, "");
  top.TopProcesses(5);  // the first scan reads every name and owner
  std::vector<double> minute;
  std::vector<double> raw;
  for (int i = 0; i < 15; ++i) {
    double start = ThreadCpuMs();
    bare::g_sink = bare::g_sink + top.TopProcesses(5).size();
    minute.push_back(ThreadCpuMs() - start);
    start = ThreadCpuMs();
    unsigned long long maxCpu = 0;
    unsigned long long maxRss = 0;
    bare::ScanMaxima(maxCpu, maxRss);
    bare::g_sink = bare::g_sink + maxCpu + maxRss;
    raw.push_back(ThreadCpuMs() - start);
  }
  std::sort(minute.begin(), minute.end());
  std::sort(raw.begin(), raw.end());
  return {minute[minute.size() / 2], raw[raw.size() / 2]};
}

struct Subject {
  const char* name;
  pid_t pid = -1;
  double cpuStart = 0;
  double cpu = 0;   // CPU-seconds in the stretch
  double rss = 0;   // resident set
  double pss = 0;   // its proportional share (shared library pages divided among their users)
  double priv = 0;  // pages of its own (private clean and dirty)
  double anon = 0;  // anonymous memory
};

enum Index { kIdleOn, kIdleOff, kAlert, kBare, kScan, kSubjects };

struct Level {
  int processes = 0;
  double seconds = 0;
  ScanCosts scans;
  Subject subjects[kSubjects] = {{"tarnwickd idle, history on"},
                                 {"tarnwickd idle, history off"},
                                 {"tarnwickd alert path"},
                                 {"bare loop"},
                                 {"raw scan"}};
  double PerHour(int i) const { return subjects[i].cpu / seconds * 3600.0; }
};

std::string g_self;

// Runs the five side by side for `seconds` after a warm-up that leaves start-up out.
Level Measure(const fs::path& tarnwickd, int seconds, const fs::path& base) {
  const fs::path folders[] = {MakeFolder(base, "on", tarnwickd, "101", true),
                              MakeFolder(base, "off", tarnwickd, "101", false),
                              MakeFolder(base, "alert", tarnwickd, "0", true)};
  Level level;
  for (int i = kIdleOn; i <= kAlert; ++i) {
    level.subjects[i].pid =
        Spawn({(folders[i] / "tarnwickd").string()}, {"HOME=" + (folders[i] / "home").string()});
  }
  level.subjects[kBare].pid = Spawn({g_self, "--bare-loop"}, {});
  level.subjects[kScan].pid = Spawn({g_self, "--scan-loop"}, {});
  std::this_thread::sleep_for(std::chrono::seconds(5));
  for (Subject& s : level.subjects) s.cpuStart = CpuSeconds(s.pid);
  level.processes = CountProcesses();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  level.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (Subject& s : level.subjects) {
    s.cpu = CpuSeconds(s.pid) - s.cpuStart;
    s.rss = FieldMb(s.pid, "status", "VmRSS");
    s.anon = FieldMb(s.pid, "status", "RssAnon");
    s.pss = FieldMb(s.pid, "smaps_rollup", "Pss");
    s.priv = FieldMb(s.pid, "smaps_rollup", "Private_Clean") +
             FieldMb(s.pid, "smaps_rollup", "Private_Dirty");
  }
  for (Subject& s : level.subjects) {
    kill(s.pid, SIGTERM);
    waitpid(s.pid, nullptr, 0);
  }
  std::error_code ignored;
  for (const fs::path& folder : folders) fs::remove_all(folder, ignored);
  return level;
}

// The alert path with every processor kept busy: its exceeding cycles against the seconds.
void CountCycles(const fs::path& tarnwickd, int stretch, const fs::path& base) {
  const fs::path folder = MakeFolder(base, "busy", tarnwickd, "0", true);
  const std::string out = (folder / "out.txt").string();
  std::vector<pid_t> hogs;
  const long processors = std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L);
  for (long i = 0; i < processors; ++i) hogs.push_back(Spawn({g_self, "--hog"}, {}));
  const pid_t daemon =
      Spawn({(folder / "tarnwickd").string()}, {"HOME=" + (folder / "home").string()}, out);
  std::this_thread::sleep_for(std::chrono::seconds(5));
  // The whole seconds of the stretch, on the clock the log lines show.
  const time_t first = time(nullptr) + 1;
  std::this_thread::sleep_for(std::chrono::seconds(stretch));
  const time_t last = time(nullptr) - 1;
  const int processes = CountProcesses();
  kill(daemon, SIGTERM);
  waitpid(daemon, nullptr, 0);
  EndAll(hogs);
  const std::string from = LocalHhMmSs(first);
  const std::string to = LocalHhMmSs(last);
  std::istringstream lines(ReadSmall(out));
  size_t cycles = 0;
  std::set<std::string> seconds;
  for (std::string line; std::getline(lines, line);) {
    const size_t dash = line.find(" - ");
    if (dash == std::string::npos || dash < 8 || line.find(kExceedMarker) == std::string::npos) {
      continue;
    }
    const std::string at = line.substr(dash - 8, 8);
    if (at < from || at > to) continue;
    ++cycles;
    seconds.insert(at);
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  std::printf(
      "\nalert path with %ld processors kept busy, %d processes: %zu of %ld seconds "
      "with a cycle, %zu cycles (goal: every second)\n",
      processors, processes, seconds.size(), static_cast<long>(last - first + 1), cycles);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--bare-loop") Loop(false);
  if (argc == 2 && std::string(argv[1]) == "--scan-loop") Loop(true);
  if (argc == 2 && std::string(argv[1]) == "--hog") Hog();
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <tarnwickd> [seconds] [levels]\n", argv[0]);
    return 2;
  }
  const fs::path tarnwickd = fs::absolute(argv[1]);
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  std::vector<int> targets;
  std::stringstream levels(argc > 3 ? argv[3] : "100,1000,4000");
  for (std::string item; std::getline(levels, item, ',');) targets.push_back(std::stoi(item));
  std::sort(targets.begin(), targets.end());
  g_self = fs::canonical("/proc/self/exe").string();

  char pattern[] = "/tmp/tarnwickd_bench_XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path base = pattern;
  std::vector<Level> results;
  for (int target : targets) {
    FillTo(target);
    results.push_back(Measure(tarnwickd, seconds, base));
    results.back().scans = MeasureScans();
    const Level& l = results.back();
    std::printf("%d processes, %.0f s side by side at a 1 s cycle\n", l.processes, l.seconds);
    std::printf("  %-30s %14s %7s %7s %9s %7s\n", "", "CPU-s per hour", "RSS MB", "PSS MB",
                "private", "anon");
    for (int i = 0; i < kSubjects; ++i) {
      const Subject& s = l.subjects[i];
      std::printf("  %-30s %14.2f %7.1f %7.1f %9.1f %7.1f\n", s.name, l.PerHour(i), s.rss, s.pss,
                  s.priv, s.anon);
    }
    std::printf("  in this process: a minute scan %.2f ms of CPU, a raw scan %.2f ms\n",
                l.scans.minuteMs, l.scans.rawMs);
    std::fflush(stdout);
  }
  if (!targets.empty()) CountCycles(tarnwickd, seconds, base);
  EndAll(g_sleepers);
  std::error_code ignored;
  fs::remove_all(base, ignored);

  std::printf("\nratios (one side-by-side run; goals in brackets)\n");
  std::printf("  %-44s", "processes");
  for (const Level& l : results) std::printf(" %8d", l.processes);
  std::printf("\n");
  auto row = [&results](const char* what, auto value) {
    std::printf("  %-44s", what);
    for (const Level& l : results) std::printf(" %8.2f", value(l));
    std::printf("\n");
  };
  row("alert path / raw scan [<=1.1 at 100, 0.8 above]",
      [](const Level& l) { return l.PerHour(kAlert) / l.PerHour(kScan); });
  // The history's cost beyond the plain program is its minute scan and its writes; a raw scan
  // costs the raw loop's hour over 3600 cycles.
  row("minute scan / raw scan, in process [<=0.8]",
      [](const Level& l) { return l.scans.minuteMs / l.scans.rawMs; });
  row("history (minute scan, writes) / raw scan", [](const Level& l) {
    return (l.PerHour(kIdleOn) - l.PerHour(kIdleOff)) / 60.0 / (l.PerHour(kScan) / 3600.0);
  });
  row("idle, history off / bare loop [<=1.5 at 100]",
      [](const Level& l) { return l.PerHour(kIdleOff) / l.PerHour(kBare); });
  row("idle, history on / bare loop",
      [](const Level& l) { return l.PerHour(kIdleOn) / l.PerHour(kBare); });
  if (results.size() > 1) {
    std::printf("  idle, history on at %d / at %d processes: %.2f [<=2]\n",
                results.back().processes, results.front().processes,
                results.back().PerHour(kIdleOn) / results.front().PerHour(kIdleOn));
  }
  std::printf(
      "\nWindows: tarnwick.exe and tarnwickd.exe take the process table with one "
      "NtQuerySystemInformation call; see docs/benchmarks.md for what can be measured of it "
      "here.\n");
  return 0;
}
