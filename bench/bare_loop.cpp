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
#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "bare_proc.h"

namespace {

using bare::CpuTimes;
using bare::g_sink;
using bare::MemoryPercent;
using bare::ParseNumber;
using bare::ReadCpu;
using bare::ReadSmall;

void ScanProcesses() {
  char path[64] = "/proc/";
  char buffer[2048];
  unsigned long long maxCpu = 0;
  unsigned long long maxRss = 0;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    const size_t length = std::strlen(e->d_name);
    if (length > 20) continue;
    std::memcpy(path + 6, e->d_name, length);
    std::memcpy(path + 6 + length, "/stat", 6);
    const size_t n = ReadSmall(path, buffer, sizeof buffer);
    const char* paren = n == 0 ? nullptr : static_cast<const char*>(memrchr(buffer, ')', n));
    if (paren == nullptr) continue;
    const char* end = buffer + n;
    const char* p = paren + 2;
    // After ") " stands field 3 (state); utime and stime are fields 14 and 15, rss field 24.
    for (int blanks = 11; blanks > 0 && p < end; ++p) {
      if (*p == ' ') --blanks;
    }
    const unsigned long long utime = ParseNumber(p, end);
    const unsigned long long stime = ParseNumber(p, end);
    for (int field = 16; field < 24; ++field) ParseNumber(p, end);
    const unsigned long long rss = ParseNumber(p, end);
    if (utime + stime > maxCpu) maxCpu = utime + stime;
    if (rss > maxRss) maxRss = rss;
  }
  closedir(dir);
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
