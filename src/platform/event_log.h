// The system's own event log, where monitoring tools of the operating system look (the Windows
// Event Log). Only the log lines that need someone's attention go there.
#pragma once

#include <string>

namespace tarnwick {

// What a reported log line tells: an alert of a watch, a terminated process, or something that
// failed (a termination, a file, a delivery).
enum class EventLogKind { Alert, Kill, Failure };

class IEventLog {
 public:
  virtual ~IEventLog() = default;
  // One entry holding `line`; a refusal is ignored (the log file still has the line).
  virtual void Report(EventLogKind kind, const std::string& line) = 0;
};

}  // namespace tarnwick
