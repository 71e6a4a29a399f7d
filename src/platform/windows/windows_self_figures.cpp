#include "platform/windows/windows_self_figures.h"

#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <cstdint>

namespace tarnwick {
namespace {

// FILETIME counts 100 ns steps since 1601-01-01; the Unix epoch is this many steps later.
constexpr uint64_t kEpochIn1601Steps = 116444736000000000ULL;
constexpr double kStepsPerSecond = 1e7;

uint64_t Steps(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

ProcessSelfFigures WindowsSelfFigures::Read() {
  ProcessSelfFigures figures;
  HANDLE self = GetCurrentProcess();
  FILETIME created{};
  FILETIME exited{};
  FILETIME kernel{};
  FILETIME user{};
  if (GetProcessTimes(self, &created, &exited, &kernel, &user)) {
    figures.cpuSeconds = static_cast<double>(Steps(kernel) + Steps(user)) / kStepsPerSecond;
    if (Steps(created) > kEpochIn1601Steps) {
      figures.startTimeSeconds =
          static_cast<double>(Steps(created) - kEpochIn1601Steps) / kStepsPerSecond;
    }
  }
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    figures.residentBytes = static_cast<double>(memory.WorkingSetSize);
    figures.virtualBytes = static_cast<double>(memory.PrivateUsage);
  }
  DWORD handles = 0;
  if (GetProcessHandleCount(self, &handles)) figures.openFds = static_cast<double>(handles);
  return figures;
}

}  // namespace tarnwick
