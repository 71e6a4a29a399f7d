// The bare minimum of a monitor cycle, shared by the reference loops of the benchmarks: read
// /proc/stat and /proc/meminfo as any program would (open, read, close) and work out the CPU
// and memory percentages, and the reference scan of every /proc/[pid]/stat.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace bare {

inline volatile unsigned long long g_sink = 0;  // keeps the results from being optimised away

// Reads a small /proc file into `buffer`; its length, or 0.
inline size_t ReadSmall(const char* path, char* buffer, size_t size) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const ssize_t n = read(fd, buffer, size - 1);
  close(fd);
  if (n <= 0) return 0;
  buffer[n] = '\0';
  return static_cast<size_t>(n);
}

inline unsigned long long ParseNumber(const char*& p, const char* end) {
  while (p < end && (*p < '0' || *p > '9')) ++p;
  unsigned long long v = 0;
  while (p < end && *p >= '0' && *p <= '9') v = v * 10 + static_cast<unsigned>(*p++ - '0');
  return v;
}

struct CpuTimes {
  unsigned long long busy = 0;
  unsigned long long total = 0;
};

inline CpuTimes ReadCpu() {
  char buffer[4096];
  const size_t n = ReadSmall("/proc/stat", buffer, sizeof buffer);
  const char* p = buffer + std::min<size_t>(n, 3);  // after "cpu"
  const char* end = buffer + n;
  CpuTimes t;
  for (int field = 0; field < 8; ++field) {
    const unsigned long long v = ParseNumber(p, end);
    t.total += v;
    if (field != 3 && field != 4) t.busy += v;  // idle and iowait
  }
  return t;
}

inline unsigned long long MemoryPercent() {
  char buffer[4096];
  const size_t n = ReadSmall("/proc/meminfo", buffer, sizeof buffer);
  const std::string_view text(buffer, n);
  auto value = [&](std::string_view key) {
    const size_t at = text.find(key);
    if (at == std::string_view::npos) return 0ULL;
    const char* p = buffer + at + key.size();
    return ParseNumber(p, buffer + n);
  };
  const unsigned long long total = value("MemTotal:");
  const unsigned long long available = value("MemAvailable:");
  return total == 0 ? 0 : (total - available) * 100 / total;
}

// One read of every /proc/[pid]/stat, nothing cached: the largest CPU time (utime + stime, in
// clock ticks) and the largest resident set (in pages) of all processes.
inline void ScanMaxima(unsigned long long& maxCpu, unsigned long long& maxRss) {
  char path[64] = "/proc/";
  char buffer[2048];
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
}

}  // namespace bare
