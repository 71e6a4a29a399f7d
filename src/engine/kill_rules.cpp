#include "engine/kill_rules.h"

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {

KillRules KillRulesOf(const Settings& settings, int16_t killEnabled, int ownPid) {
  return KillRules{killEnabled, settings.Killopt, settings.PnameList, settings.num_Kill, ownPid};
}

KillVerdict JudgeKill(const KillRules& rules, const TopHistory& history, const HistoryTally& tally,
                      const ProcessInfo* running) {
  KillVerdict verdict;
  for (const TopSample& sample : history) verdict.samples += sample.name.empty() ? 0 : 1;
  // A count that is not a whole number lets nothing through: no rule, no termination.
  const std::optional<int16_t> numKill = TextToInt16(rules.numKill);
  verdict.needed = numKill.value_or(0);
  if (!tally.top.empty()) {
    verdict.candidate = tally.chosen;
    verdict.timesOnTop = tally.chosenCount;
  }
  const auto answer = [&verdict](KillReason reason) {
    verdict.reason = reason;
    return verdict;
  };
  if (rules.killEnabled != 1) return answer(KillReason::KillOff);
  if (tally.top.empty()) return answer(KillReason::NoTopProcess);
  // While this program runs, no other process has its pid: the pid alone tells it.
  if (rules.ownPid > 0 && tally.chosen.pid == rules.ownPid) return answer(KillReason::OwnProgram);
  if (running == nullptr) return answer(KillReason::Ended);
  const std::string top = ToLower(tally.top);

  const bool listed = Contains(ToLower(Trim(rules.list)), top);
  const bool often = numKill.has_value() && tally.chosenCount >= *numKill;
  if (rules.listOnly) {
    if (!listed) return answer(KillReason::NotListed);
  } else {
    if (running->systemAccount) return answer(KillReason::ServiceAccount);
    if (listed) return answer(KillReason::Listed);
  }
  if (!often) return answer(KillReason::TooFewTimes);
  return answer(KillReason::Terminates);
}

}  // namespace tarnwick
