// The one answer to "would this process be terminated at an alert, and if not why not": the kill
// switch, the kill list and its mode, num_Kill, service accounts, the program itself (by its pid,
// never by name) and whether the process still runs. The termination at an alert and the pick the
// Processes window shows both come from here.
#pragma once

#include <cstdint>
#include <string>

#include "engine/history_tally.h"
#include "platform/process_list.h"
#include "results/kill_verdict.h"
#include "settings/settings.h"

namespace tarnwick {

struct KillRules {
  int16_t killEnabled = 0;  // 1: terminate at an alert (KillProc, or the program's pgmKillF)
  bool listOnly = false;    // Killopt: true kills only listed names, false all but them
  std::string list;         // PnameList: names, a substring test with case ignored
  std::string numKill;      // num_Kill: times the process must have been on top itself
  int ownPid = 0;           // this process: never terminated, whatever another is called
};

KillRules KillRulesOf(const Settings& settings, int16_t killEnabled, int ownPid);

// `history` is the watch's top processes since its last alert or normal sample and `tally` its
// tally; `running` is the chosen process as a scan found it now (pid and start time), or null when
// no scan shows it.
KillVerdict JudgeKill(const KillRules& rules, const TopHistory& history, const HistoryTally& tally,
                      const ProcessInfo* running);

}  // namespace tarnwick
