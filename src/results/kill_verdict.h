// The kill rules' answer for the process a watch's samples put on top: would an alert now
// terminate it, and if not, why not. The termination at an alert and the Processes window's mark
// are both this answer.
#pragma once

#include "results/top_sample.h"

namespace tarnwick {

enum class KillReason {
  Terminates,      // every rule allows it
  KillOff,         // terminating is off in the settings
  NoTopProcess,    // no sample over the threshold since the last alert or normal sample
  OwnProgram,      // the top name is this program's own
  Ended,           // the process that was on top has ended
  ServiceAccount,  // "No kill if in below list": it belongs to a service account
  Listed,          // "No kill if in below list": its name is in the list
  NotListed,       // "Kill if in below list": its name is not in the list
  TooFewTimes,     // on top fewer times than num_Kill (or num_Kill is not a whole number)
};

struct KillVerdict {
  KillReason reason = KillReason::NoTopProcess;
  // The process the tally chose: of the name most often on top, the process most often on top.
  TopSample candidate;
  int timesOnTop = 0;  // how often that process was on top
  int samples = 0;     // exceeding samples that named a top process
  int needed = 0;      // num_Kill as a whole number; 0 when it is not one

  bool Terminates() const { return reason == KillReason::Terminates; }
};

}  // namespace tarnwick
