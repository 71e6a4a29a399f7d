#include "process/process_lookup.h"

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

std::string ProcessLookup::GetProcessIdByName(std::string& name) {
  const size_t hash = name.find('#');
  if (hash != std::string::npos) name = name.substr(0, hash) + suffix_;

  snapshot_.processes.clear();
  if (!lister_.Snapshot(snapshot_)) return {};
  const ProcessInfo* last = nullptr;
  for (const ProcessInfo& process : snapshot_.processes) {
    if (IsProgramNamed(process, suffix_, name)) last = &process;
  }
  if (last == nullptr) return {};
  found_ = FoundProcess{last->pid, last->startTicks};
  procCreateTime = MmDdHhMmSs(toLocal_(last->creationTime));
  ownerSidResult = std::string(last->systemAccount ? kServiceOwner : kOrdinaryOwner);
  return std::to_string(last->pid);
}

}  // namespace tarnwick
