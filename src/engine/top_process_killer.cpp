#include "engine/top_process_killer.h"

#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "engine/activity_log.h"
#include "engine/history_tally.h"
#include "engine/kill_rules.h"

namespace tarnwick {

TopProcessKiller::TopProcessKiller(const Settings& settings, ProcessLookup& lookup,
                                   IProcessKiller& killer, ActivityLog& log,
                                   std::string ownExecutable, int ownPid)
    : settings_(settings),
      lookup_(lookup),
      killer_(killer),
      log_(log),
      ownExecutable_(std::move(ownExecutable)),
      ownPid_(ownPid) {}

std::string TopProcessKiller::KillTopProcess(const TopHistory& history, int16_t killEnabled,
                                             KillResults& results) {
  const HistoryTally tally = TallyHistory(history);
  results.killTried = false;
  results.killFailFirst = false;
  if (killEnabled != 1) return tally.text;

  // The process that was on top, if it still runs; a process that has ended is not replaced by
  // another of its name. This process is never looked up.
  const ProcessInfo* running = nullptr;
  if (!tally.top.empty() && tally.chosen.pid != ownPid_) {
    lookup_.ownerSidResult = std::string(ProcessLookup::kOrdinaryOwner);
    if (lookup_.FindProcess(tally.chosen.pid, tally.chosen.startTicks)) {
      running = &lookup_.foundInfo();
    }
  }
  const KillVerdict verdict =
      JudgeKill(KillRulesOf(settings_, killEnabled, ownPid_), history, tally, running);
  switch (verdict.reason) {
    case KillReason::KillOff:
      return tally.text;
    case KillReason::NoTopProcess:
    case KillReason::Ended:
      log_.WriteLog(std::string(kNoProcessIdLine));
      return tally.text;
    case KillReason::OwnProgram:
      log_.WriteLog(std::string(kNoKillOwnStart) + ownExecutable_ + std::string(kNoKillOwnTail));
      return tally.text;
    default:
      break;
  }
  const std::string& top = tally.top;
  std::string chosenLine = top + std::string(kTopPidPart) + std::to_string(tally.chosen.pid) +
                           std::string(kTopCreatePart) + lookup_.procCreateTime +
                           std::string(kTopToBeKilledTail);
  if (running->nameClaimed) chosenLine += std::string(kClaimedNameMatched);
  log_.WriteLog(chosenLine);
  results.killedName = top;
  const std::string lower = ToLower(top);
  if (verdict.reason == KillReason::ServiceAccount) {
    log_.WriteLog(lower + std::string(kServicesRefusalTail));
  }
  if (!verdict.Terminates()) return tally.text;
  const FoundProcess& found = lookup_.found();
  results.killedPid = found.pid;
  results.killResult = killer_.KillProcess(found.pid, found.startTicks);
  results.killTried = true;
  if (!results.killResult && !Contains(results.killFailList, lower)) {
    results.killFailFirst = true;
    results.killFailList += lower + ",";
  }
  return tally.text;
}

}  // namespace tarnwick
