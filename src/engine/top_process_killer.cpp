#include "engine/top_process_killer.h"

#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "engine/activity_log.h"
#include "engine/history_tally.h"

namespace tarnwick {

TopProcessKiller::TopProcessKiller(const Settings& settings, ProcessLookup& lookup,
                                   IProcessKiller& killer, ActivityLog& log,
                                   std::string ownExecutable)
    : settings_(settings),
      lookup_(lookup),
      killer_(killer),
      log_(log),
      ownExecutable_(std::move(ownExecutable)) {}

std::string TopProcessKiller::KillTopProcess(const TopHistory& history, int16_t killEnabled,
                                             KillResults& results) {
  const HistoryTally tally = TallyHistory(history);
  std::string top = tally.top;
  results.killTried = false;
  results.killFailFirst = false;
  const std::string own = ToLower(ownExecutable_);

  if (killEnabled == 1 && ToLower(top) != own) {
    lookup_.ownerSidResult = std::string(ProcessLookup::kOrdinaryOwner);
    // The process that was on top, if it still runs; a process that has ended is not replaced
    // by another of its name.
    if (top.empty() || !lookup_.FindProcess(tally.chosen.pid, tally.chosen.startTicks)) {
      log_.WriteLog(std::string(kNoProcessIdLine));
    } else {
      log_.WriteLog(top + std::string(kTopPidPart) + std::to_string(tally.chosen.pid) +
                    std::string(kTopCreatePart) + lookup_.procCreateTime +
                    std::string(kTopToBeKilledTail));
      results.killedName = top;
      top = ToLower(top);
      if (RulesAllow(top, tally.chosenCount)) {
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
