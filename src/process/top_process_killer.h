// How an alert of a watch reaches the termination of the top process.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// Results of the last termination attempt, read by the alert texts.
struct KillResults {
  bool killTried = false;      // an attempt was made in the last call
  bool killResult = false;     // it terminated the process
  std::string killedName;      // name chosen by the last call that found a process ID
  bool killFailFirst = false;  // the last attempt failed for the first time for that name
  std::string killFailList;    // lower-cased names whose termination failed, each with ","
};

class ITopProcessKiller {
 public:
  virtual ~ITopProcessKiller() = default;
  // Tallies the history (cpuTopList or memTopList) and, when killEnabled is 1 and the kill rules
  // allow it, terminates the process that was top most often. Returns the tally text.
  virtual std::string KillTopProcess(const std::string& history, int16_t killEnabled,
                                     KillResults& results) = 0;
};

}  // namespace tarnwick
