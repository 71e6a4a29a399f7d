#include "engine/process_lookup.h"

#include <ctime>
#include <utility>

#include "common/text.h"

namespace tarnwick {

LocalTime LocalTimeOfEpoch(int64_t epochSeconds) {
  const auto when = static_cast<std::time_t>(epochSeconds);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &when);
#else
  localtime_r(&when, &tm);
#endif
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool IsProgramNamed(const ProcessInfo& process, std::string_view executableSuffix,
                    std::string_view name) {
  if (name.empty()) return false;
  if (process.name.size() + executableSuffix.size() != name.size()) return false;
  return ToLower(process.name) + ToLower(executableSuffix) == ToLower(name);
}

ProcessLookup::ProcessLookup(IProcessLister& lister, std::string executableSuffix,
                             EpochToLocalTime toLocal)
    : lister_(lister), suffix_(std::move(executableSuffix)), toLocal_(toLocal) {}

bool ProcessLookup::FindProcess(int pid, uint64_t startTicks) {
  snapshot_.processes.clear();
  if (!lister_.Snapshot(snapshot_)) return false;
  for (const ProcessInfo& process : snapshot_.processes) {
    if (process.pid != pid || process.startTicks != startTicks) continue;
    found_ = FoundProcess{process.pid, process.startTicks};
    foundInfo_ = process;
    procCreateTime = MmDdHhMmSs(toLocal_(process.creationTime));
    ownerSidResult = std::string(process.systemAccount ? kServiceOwner : kOrdinaryOwner);
    return true;
  }
  return false;
}

}  // namespace tarnwick
