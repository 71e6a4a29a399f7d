// The bare minimum the program's cycle can cost, for the whole-program benchmark
// (bench/program_cost.py) to set the program's CPU time against:
//
//   tarnwick_bare_loop proc   every second, read /proc/stat and /proc/meminfo and work out the
//                             CPU and memory percentages (what a cycle under the thresholds needs)
//   tarnwick_bare_loop scan   the same, plus one read of every /proc/[pid]/stat for the process
//                             with the most CPU time and the largest (what an exceeding cycle
//                             needs)
//   tarnwick_bare_loop hog    keeps one processor busy
//
// Each runs until it is terminated. The loops wake on whole seconds of the monotonic clock, so
// their cycle does not drift with their own cost.
#include <time.h>

#include <cstdio>
#include <string_view>

#include "bare_proc.h"

namespace {

using bare::CpuTimes;
using bare::g_sink;
using bare::MemoryPercent;
using bare::ReadCpu;

void ScanProcesses() {
  unsigned long long maxCpu = 0;
  unsigned long long maxRss = 0;
  bare::ScanMaxima(maxCpu, maxRss);
  g_sink = g_sink + maxCpu + maxRss;
}

int Loop(bool scan) {
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  CpuTimes last = ReadCpu();
  for (;;) {
    ++next.tv_sec;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    const CpuTimes now = ReadCpu();
    const unsigned long long total = now.total - last.total;
    const unsigned long long cpu = total == 0 ? 0 : (now.busy - last.busy) * 100 / total;
    last = now;
    g_sink = g_sink + cpu + MemoryPercent();
    if (scan) ScanProcesses();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode == "proc") return Loop(false);
  if (mode == "scan") return Loop(true);
  if (mode == "hog") {
    for (unsigned long long i = 0;; ++i) g_sink = i;
  }
  std::fprintf(stderr, "usage: %s proc|scan|hog\n", argv[0]);
  return 2;
}
