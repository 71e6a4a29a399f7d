#include "process/top_process_killer.h"

#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "monitor/activity_log.h"
#include "process/history_tally.h"

namespace tarnwick {

TopProcessKiller::TopProcessKiller(const Settings& settings, ProcessLookup& lookup,
                                   IProcessKiller& killer, ActivityLog& log,
                                   std::string ownExecutable)
    : settings_(settings),
      lookup_(lookup),
      killer_(killer),
      log_(log),
      ownExecutable_(std::move(ownExecutable)) {}

std::string TopProcessKiller::KillTopProcess(const std::string& history, int16_t killEnabled,
                                             KillResults& results) {
  const HistoryTally tally = TallyHistory(history);
  std::string top = tally.top;
  results.killTried = false;
  results.killFailFirst = false;
  const std::string own = ToLower(ownExecutable_);

  if (killEnabled == 1 && ToLower(top) != own) {
    lookup_.ownerSidResult = std::string(ProcessLookup::kOrdinaryOwner);
    const std::string pid = lookup_.GetProcessIdByName(top);
    if (pid.empty()) {
      log_.WriteLog(std::string(kNoProcessIdLine));
    } else {
      log_.WriteLog(top + std::string(kTopPidPart) + pid + std::string(kTopCreatePart) +
                    lookup_.procCreateTime + std::string(kTopToBeKilledTail));
      results.killedName = top;
      top = ToLower(top);
      if (RulesAllow(top, tally.max)) {
        const FoundProcess& found = lookup_.found();
        results.killedPid = found.pid;
        results.killResult = killer_.KillProcess(found.pid, found.startTicks);
        results.killTried = true;
        if (!results.killResult && !Contains(results.killFailList, top)) {
          results.killFailFirst = true;
          results.killFailList += top + ",";
        }
      }
    }
  }
  if (killEnabled == 1 && ToLower(top) == own) {
    log_.WriteLog(std::string(kNoKillOwnStart) + ownExecutable_ + std::string(kNoKillOwnTail));
  }
  return tally.text;
}

bool TopProcessKiller::RulesAllow(const std::string& top, int count) {
  const bool listed = Contains(ToLower(Trim(settings_.PnameList)), top);
  // A count that is not a whole number lets nothing through: no rule, no termination.
  const std::optional<int16_t> numKill = TextToInt16(settings_.num_Kill);
  const bool often = numKill.has_value() && count >= *numKill;
  if (settings_.Killopt) return often && listed;

  const bool service = lookup_.ownerSidResult == ProcessLookup::kServiceOwner;
  if (often && !listed && !service) return true;
  if (service) log_.WriteLog(top + std::string(kServicesRefusalTail));
  return false;
}

}  // namespace tarnwick
