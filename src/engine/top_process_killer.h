// How an alert of a watch reaches the termination of the top process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/history_tally.h"
#include "engine/process_lookup.h"
#include "platform/process_killer.h"
#include "settings/settings.h"

namespace tarnwick {

// Results of the last termination attempt, read by the alert texts.
struct KillResults {
  bool killTried = false;      // an attempt was made in the last call
  bool killResult = false;     // it terminated the process
  std::string killedName;      // name chosen by the last call that found a process ID
  int killedPid = 0;           // its process ID
  bool killFailFirst = false;  // the last attempt failed for the first time for that name
  std::string killFailList;    // lower-cased names whose termination failed, each with ","
};

class ITopProcessKiller {
 public:
  virtual ~ITopProcessKiller() = default;
  // Tallies the history (cpuTopList or memTopList) and, when killEnabled is 1 and the kill rules
  // allow it, terminates the process that was top most often. Returns the tally text.
  virtual std::string KillTopProcess(const TopHistory& history, int16_t killEnabled,
                                     KillResults& results) = 0;
};

class ActivityLog;

// Log lines of the termination.
inline constexpr std::string_view kNoProcessIdLine =
    "No catch Process ID (pid) will kill next time .......";
inline constexpr std::string_view kTopPidPart = "(pid : ";
inline constexpr std::string_view kTopCreatePart = " create time : ";
inline constexpr std::string_view kTopToBeKilledTail = ") is the TOP 1 to be killed ...";
inline constexpr std::string_view kServicesRefusalTail =
    " is TOP 1 but no kill. Reason - Session Name (Owner) is Services.";
inline constexpr std::string_view kNoKillOwnStart = "No kill ";
inline constexpr std::string_view kNoKillOwnTail = " itself ....";
// After the "to be killed" line of a process whose name is its own claim (the task name, which
// the process may set): the rules matched a name it gave itself.
inline constexpr std::string_view kClaimedNameMatched =
    " The rules matched the name the process claims for itself, not its executable's.";

// The termination under the kill rules of the settings (num_Kill, Killopt, PnameList): of the
// name that was top most often, the process (pid and start time, as the history recorded it)
// that was top most often is terminated, never a namesake and never a process that started
// since, when it still runs, was top at least num_Kill times itself and
//  - Killopt true: its name occurs in PnameList (a substring test, case ignored);
//  - Killopt false: its name does not occur there and it does not belong to a service account.
// This process (its pid, whatever another process is called) is never looked up, and the platform
// killer refuses pid 1 and this process too. A num_Kill that is not a whole number allows
// nothing.
class TopProcessKiller final : public ITopProcessKiller {
 public:
  // `ownExecutable` is this program's name with the suffix ("tarnwick", "tarnwick.exe"), as its
  // log line names it; `ownPid` is this process.
  TopProcessKiller(const Settings& settings, ProcessLookup& lookup, IProcessKiller& killer,
                   ActivityLog& log, std::string ownExecutable, int ownPid);

  std::string KillTopProcess(const TopHistory& history, int16_t killEnabled,
                             KillResults& results) override;

 private:
  const Settings& settings_;
  ProcessLookup& lookup_;
  IProcessKiller& killer_;
  ActivityLog& log_;
  std::string ownExecutable_;
  int ownPid_;
};

}  // namespace tarnwick
