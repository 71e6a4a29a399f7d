#include "platform/linux/proc_self_figures.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string_view>

#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_text.h"

namespace tarnwick {
namespace {

// The boot time, seconds since the epoch: the "btime" line of /proc/stat.
std::optional<double> BootTime() {
  char buffer[16384];
  const ptrdiff_t n = proc::ReadFile(AT_FDCWD, "/proc/stat", buffer, sizeof buffer);
  if (n <= 0) return std::nullopt;
  const std::string_view text(buffer, static_cast<size_t>(n));
  const size_t at = text.find("\nbtime ");
  if (at == std::string_view::npos) return std::nullopt;
  size_t pos = at + 7;
  uint64_t seconds = 0;
  if (!proc::ParseU64(text, pos, seconds)) return std::nullopt;
  return static_cast<double>(seconds);
}

std::optional<double> OpenDescriptors() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return std::nullopt;
  double count = 0;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(folder);
  return count;
}

}  // namespace

ProcSelfFigures::ProcSelfFigures() : bootTime_(BootTime()) {}

ProcessSelfFigures ProcSelfFigures::Read() {
  ProcessSelfFigures figures;
  const long ticks = sysconf(_SC_CLK_TCK);
  const long pageSize = sysconf(_SC_PAGESIZE);

  char buffer[1024];
  ptrdiff_t n = proc::ReadFileOnce(AT_FDCWD, "/proc/self/stat", buffer, sizeof buffer);
  proc::StatFields stat;
  if (n > 0 && ticks > 0 &&
      proc::ParseStat(std::string_view(buffer, static_cast<size_t>(n)), stat)) {
    figures.cpuSeconds = static_cast<double>(stat.utime + stat.stime) / static_cast<double>(ticks);
    figures.residentBytes = static_cast<double>(stat.rssPages) * static_cast<double>(pageSize);
    if (bootTime_) {
      figures.startTimeSeconds =
          *bootTime_ + static_cast<double>(stat.startTime) / static_cast<double>(ticks);
    }
  }
  n = proc::ReadFileOnce(AT_FDCWD, "/proc/self/statm", buffer, sizeof buffer);
  size_t pos = 0;
  uint64_t pages = 0;
  if (n > 0 && proc::ParseU64(std::string_view(buffer, static_cast<size_t>(n)), pos, pages)) {
    figures.virtualBytes = static_cast<double>(pages) * static_cast<double>(pageSize);
  }
  figures.openFds = OpenDescriptors();
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    figures.maxFds = static_cast<double>(limit.rlim_cur);
  }
  return figures;
}

}  // namespace tarnwick
