// What a process ranking costs against the bare minimum of reading every /proc/[pid]/stat, and
// what a monitor cycle under the thresholds costs, at several process counts.
//
// The machine is brought to each process count with sleeping children (fork + pause); they are
// killed and reaped at the end, on a signal, and by the kernel should this program die
// (PR_SET_PDEATHSIG). Levels: 80 (or what is already running), 1000, 4000; another list can be
// given as TARNWICK_BENCH_LEVELS="80,500".
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bare_proc.h"
#include "bench_services.h"
#include "common/clock.h"
#include "engine/engine.h"
#include "engine/process_ranking.h"
#include "platform/linux/alsa_sound_player.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/posix/posix_file_system.h"
#include "settings/settings_store.h"

namespace {

using tarnwick::ProcessRanking;
using tarnwick::ProcessSampler;
using tarnwick::ProcProcessLister;
using tarnwick::RankingResults;
using tarnwick::SystemClock;

// ---------------------------------------------------------------------------------------------
// Sleeping children.

std::vector<pid_t> g_children;
pid_t g_parent = 0;
int g_level = -1;  // the level the children were spawned for

int CountProcesses() {
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return 0;
  int count = 0;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] >= '1' && e->d_name[0] <= '9') ++count;
  }
  closedir(dir);
  return count;
}

void KillChildren(size_t keep) {
  for (size_t i = keep; i < g_children.size(); ++i) kill(g_children[i], SIGKILL);
  for (size_t i = keep; i < g_children.size(); ++i) {
    while (waitpid(g_children[i], nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  g_children.resize(std::min(keep, g_children.size()));
  g_level = -1;
}

void KillAllChildren() {
  if (getpid() == g_parent) KillChildren(0);
}

void OnFatalSignal(int signal) {
  // kill and waitpid are async-signal-safe; the vector is not resized here.
  for (pid_t child : g_children) kill(child, SIGKILL);
  for (pid_t child : g_children) waitpid(child, nullptr, 0);
  std::signal(signal, SIG_DFL);
  raise(signal);
}

bool SpawnChild() {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != g_parent) _exit(0);
    for (;;) pause();
  }
  g_children.push_back(pid);
  return true;
}

// Brings the machine to about `target` processes with our children (never below what runs
// without them); the number of processes then running.
int EnsureLevel(int target) {
  if (g_level == target) return CountProcesses();
  const int now = CountProcesses();
  const int others = now - static_cast<int>(g_children.size());
  const int wanted = std::max(0, target - others);
  if (wanted < static_cast<int>(g_children.size())) {
    KillChildren(static_cast<size_t>(wanted));
  } else {
    g_children.reserve(static_cast<size_t>(wanted));
    while (static_cast<int>(g_children.size()) < wanted) {
      if (!SpawnChild()) {
        std::fprintf(stderr, "fork failed after %zu children\n", g_children.size());
        break;
      }
    }
  }
  g_level = target;
  return CountProcesses();
}

// ---------------------------------------------------------------------------------------------
// (a) The reference: readdir /proc, open/read/close each /proc/[pid]/stat, parse utime, stime
// and rss, keep the maxima. Nothing cached, nothing kept.

// One reference scan; the maxima go through DoNotOptimize.
void ReferenceScanOnce() {
  unsigned long long maxCpu = 0;
  unsigned long long maxRss = 0;
  bare::ScanMaxima(maxCpu, maxRss);
  benchmark::DoNotOptimize(maxCpu);
  benchmark::DoNotOptimize(maxRss);
}

void BM_ReferenceScan(benchmark::State& state) {
  const int processes = EnsureLevel(static_cast<int>(state.range(0)));
  for (auto _ : state) ReferenceScanOnce();
  state.counters["procs"] = processes;
  state.counters["misses/scan"] = 0;
}

// ---------------------------------------------------------------------------------------------
// (b) The ranking: one new scan per iteration through the lister, CPU shares against the
// previous iteration's scan, and the memory ranking.

struct RankingRig {
  SystemClock clock;
  ProcProcessLister lister;
  ProcessSampler sampler{lister, clock};
  ProcessRanking ranking{sampler, clock, static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)), ""};
  RankingResults results;
  long cycle = 0;

  void Rank() {
    ++cycle;
    results.cpuTopList.clear();
    results.memTopList.clear();
    ranking.RankCpuProcesses(cycle, results);
    ranking.RankMemoryProcesses(cycle, results);
  }
};

RankingRig& Rig() {
  static RankingRig rig;
  return rig;
}

void BM_Ranking(benchmark::State& state) {
  const int processes = EnsureLevel(static_cast<int>(state.range(0)));
  RankingRig& rig = Rig();
  // Untimed: the first ranking ever takes its second scan after a pause, and a new process
  // level fills the lister's cache.
  rig.Rank();
  size_t misses = 0;
  for (auto _ : state) {
    rig.Rank();
    misses += rig.lister.LastScan().cacheMisses;
  }
  state.counters["procs"] = processes;
  state.counters["misses/scan"] =
      static_cast<double>(misses) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}

// The lister alone: one warm scan per iteration, no ranking.
void BM_ListerScan(benchmark::State& state) {
  const int processes = EnsureLevel(static_cast<int>(state.range(0)));
  static ProcProcessLister lister;
  tarnwick::ProcessSnapshot snapshot;
  lister.Snapshot(snapshot);
  size_t misses = 0;
  for (auto _ : state) {
    lister.Snapshot(snapshot);
    misses += lister.LastScan().cacheMisses;
  }
  state.counters["procs"] = processes;
  state.counters["misses/scan"] =
      static_cast<double>(misses) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
}

// ---------------------------------------------------------------------------------------------
// (c) A monitor cycle under the thresholds: the engine over the real services, with
// thresholds of 101 % that no sample reaches, so no cycle ranks processes.

using tarnwick::bench::BenchSystemInfo;
using tarnwick::bench::QuietUi;

struct MonitorRig {
  std::string folder;
  SystemClock clock;
  QuietUi ui;
  std::unique_ptr<BenchSystemInfo> system;
  tarnwick::ProcCpuCounters cpu;
  tarnwick::ProcMemoryReader memory;
  ProcProcessLister processes;
  tarnwick::AlsaSoundPlayer sound;
  tarnwick::PosixFileSystem files;
  std::unique_ptr<tarnwick::Engine> engine;

  MonitorRig() {
    char pattern[] = "/tmp/tarnwick_bench_XXXXXX";
    folder = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    system = std::make_unique<BenchSystemInfo>(folder);
    tarnwick::Settings settings;
    settings.TimeInterval = "5";
    settings.cpu_High = "101";
    settings.mem_High = "101";
    settings.num_High = "10";
    settings.num_Kill = "10";
    settings.host_Name = "bench";
    tarnwick::SettingsStore store(files, folder, "/");
    store.SaveSettings(settings, ui);
    engine = std::make_unique<tarnwick::Engine>(
        tarnwick::EngineDeps{clock, *system, cpu, memory, processes, sound, files});
    engine->Load();
    engine->ServiceLogin();
  }
  ~MonitorRig() {
    engine.reset();
    std::error_code ignored;
    if (folder != "/tmp") std::filesystem::remove_all(folder, ignored);
  }
};

std::unique_ptr<MonitorRig> g_monitor;

void BM_MonitorUnderThreshold(benchmark::State& state) {
  const int processes = EnsureLevel(static_cast<int>(state.range(0)));
  if (!g_monitor) g_monitor = std::make_unique<MonitorRig>();
  tarnwick::Engine& engine = *g_monitor->engine;
  engine.Monitor();
  for (auto _ : state) engine.Monitor();
  // Under the thresholds nothing may exceed: no ranking, so no scan of the processes.
  if (engine.cpuWatch.count != 0 || engine.memWatch.count != 0) {
    state.SkipWithError("a sample exceeded the 101 % thresholds");
  }
  state.counters["procs"] = processes;
  state.counters["misses/scan"] = 0;
}

// ---------------------------------------------------------------------------------------------
// The summary after the table.

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Figure {
    double ns = 0;     // real time per iteration
    double cpuNs = 0;  // CPU time of the process per iteration
    double procs = 0;
  };
  std::map<std::string, Figure> figures;  // benchmark name -> times per iteration

  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      Figure f;
      f.ns = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
      f.cpuNs = run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations);
      auto procs = run.counters.find("procs");
      if (procs != run.counters.end()) f.procs = procs->second.value;
      figures[run.benchmark_name()] = f;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  const Figure* Find(const std::string& family, int level) const {
    const std::string prefix = family + "/" + std::to_string(level) + "/";
    for (const auto& [name, figure] : figures) {
      if (name.compare(0, prefix.size(), prefix) == 0) return &figure;
    }
    return nullptr;
  }
};

long long NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Reference scans and rankings taken in turn (the order swapped every round), so that a load
// that comes and goes on the machine weighs on both alike; the medians of each, in ns.
std::pair<double, double> InterleavedMedians(int level, double referenceNs) {
  EnsureLevel(level);
  RankingRig& rig = Rig();
  rig.Rank();  // the new level's processes into the cache
  const int rounds = std::clamp(static_cast<int>(3e9 / std::max(1.0, 2 * referenceNs)), 11, 301);
  std::vector<double> reference;
  std::vector<double> ranking;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool referenceTurn = (turn == 0) == (round % 2 == 0);
      const long long start = NowNs();
      if (referenceTurn) {
        ReferenceScanOnce();
      } else {
        rig.Rank();
      }
      (referenceTurn ? reference : ranking).push_back(static_cast<double>(NowNs() - start));
    }
  }
  return {Median(reference), Median(ranking)};
}

std::vector<int> Levels() {
  std::vector<int> levels;
  const char* env = std::getenv("TARNWICK_BENCH_LEVELS");
  std::string text = env != nullptr && *env != '\0' ? env : "80,1000,4000";
  size_t pos = 0;
  while (pos < text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    const int level = std::atoi(text.substr(pos, comma - pos).c_str());
    if (level > 0) levels.push_back(level);
    pos = comma + 1;
  }
  return levels;
}

}  // namespace

int main(int argc, char** argv) {
  g_parent = getpid();
  std::atexit(KillAllChildren);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGSEGV, SIGABRT}) std::signal(s, OnFatalSignal);

  // The monitor raises its priority when it starts (OnLoad); do it before any measurement so
  // every benchmark runs under the same priority.
  tarnwick::LinuxSystemInfo().RaisePriority();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const std::vector<int> levels = Levels();
  // Level by level, so the children are spawned once per level.
  for (int level : levels) {
    benchmark::RegisterBenchmark("Reference", BM_ReferenceScan)
        ->Arg(level)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("ListerScan", BM_ListerScan)
        ->Arg(level)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark("Ranking", BM_Ranking)
        ->Arg(level)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(1.0);
    // The cycle is measured in the CPU time of the whole process: its wall time includes the
    // wait for the CPU sample, which costs the machine nothing.
    benchmark::RegisterBenchmark("MonitorUnderThreshold", BM_MonitorUnderThreshold)
        ->Arg(level)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(1.0);
  }

  SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  g_monitor.reset();

  // Medians of interleaved scans, taken with the children of each level in place again.
  std::map<int, std::pair<double, double>> interleaved;
  for (int level : levels) {
    const auto* ref = reporter.Find("Reference", level);
    if (ref != nullptr) interleaved[level] = InterleavedMedians(level, ref->ns);
  }
  KillAllChildren();

  std::printf(
      "\nSummary. Benchmark: real time per iteration from the table above; interleaved:\n"
      "medians of reference scans and rankings taken in turn (steadier when the machine\n"
      "is shared). Target: ranking / reference <= 1.3.\n");
  std::printf("%6s %9s %14s %14s %7s %14s %14s %7s\n", "level", "processes", "reference ns",
              "ranking ns", "ratio", "ref. median", "rank. median", "ratio");
  for (int level : levels) {
    const auto* ref = reporter.Find("Reference", level);
    const auto* rank = reporter.Find("Ranking", level);
    if (ref == nullptr || rank == nullptr) continue;
    const auto [refMedian, rankMedian] = interleaved[level];
    std::printf("%6d %9.0f %14.0f %14.0f %7.3f %14.0f %14.0f %7.3f\n", level, ref->procs, ref->ns,
                rank->ns, rank->ns / ref->ns, refMedian, rankMedian,
                refMedian > 0 ? rankMedian / refMedian : 0.0);
  }
  const auto* low = reporter.Find("MonitorUnderThreshold", levels.front());
  const auto* high = reporter.Find("MonitorUnderThreshold", levels.back());
  if (low != nullptr && high != nullptr) {
    std::printf(
        "\nMonitor cycle under the thresholds, CPU time: %.0f ns at %.0f processes, %.0f ns at "
        "%.0f processes; ratio %.3f (target: about 1)\n",
        low->cpuNs, low->procs, high->cpuNs, high->procs,
        low->cpuNs > 0 ? high->cpuNs / low->cpuNs : 0.0);
  }
  return 0;
}
