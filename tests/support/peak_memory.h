// The peak resident memory of this process, for the reads that must cost no more memory for a
// flood than for a short reply (tests and benchmarks alike).
#pragma once

#ifdef _WIN32
#include <windows.h>
// after windows.h
#include <psapi.h>
#else
#include <cstdlib>
#include <fstream>
#include <string>
#endif

namespace tarnwick::testing {

// In KiB: VmHWM on Linux, the peak working set on Windows (link psapi); -1 when unknown.
inline long PeakKiB() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
#endif
}

#ifndef _WIN32
// Starts VmHWM again from the present resident set (5 written to clear_refs).
inline void RestartPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
#endif

}  // namespace tarnwick::testing
