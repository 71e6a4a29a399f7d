#include "platform/windows/windows_counters.h"

#include <windows.h>

#include <cstdint>
#include <limits>

namespace tarnwick {
namespace {

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

int64_t Bytes(DWORDLONG value) {
  constexpr auto kMax = static_cast<DWORDLONG>(std::numeric_limits<int64_t>::max());
  return value > kMax ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(value);
}

}  // namespace

bool WindowsCpuCounters::Read(CpuTimes& times) {
  FILETIME idle{}, kernel{}, user{};
  if (!GetSystemTimes(&idle, &kernel, &user)) return false;
  const DWORD processors = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  if (processors == 0) return false;
  times.idle = Ticks(idle);
  times.total = Ticks(kernel) + Ticks(user);
  times.processors = processors;
  return times.total >= times.idle;
}

int64_t WindowsMemoryReader::GetRamAmount() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return -1;
  return Bytes(status.ullTotalPhys);
}

int64_t WindowsMemoryReader::GetAvailableBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return -1;
  return Bytes(status.ullAvailPhys);
}

}  // namespace tarnwick
