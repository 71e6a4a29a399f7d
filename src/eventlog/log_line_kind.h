// Which lines of the activity log are alerts, terminations and failures: the lines that also go
// to the system's event log. Decided from the texts of the messages, in this one place.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/event_log.h"

namespace tarnwick {

class LogLineKinds {
 public:
  // The kind of one line as the log writes it ("yyyy-mm-dd hh:mm:ss - " + message) or of a bare
  // message; nullopt for the lines of every other kind. A watch's alert that reports its
  // termination counts as the termination, or as a failure when the termination failed. The
  // SMS delivery of an alert whose own line came before adds nothing; the program monitor's
  // alerts have no line of their own, so their delivery line is the alert.
  std::optional<EventLogKind> Of(std::string_view line);

 private:
  // The text of the last alert line, which its delivery line repeats (perhaps cut short).
  std::string lastAlert_;
};

// Passes every line of those kinds on to the event log, the others nowhere.
class EventLogFeed {
 public:
  explicit EventLogFeed(IEventLog& eventLog) : eventLog_(eventLog) {}
  void Write(const std::string& line);

 private:
  IEventLog& eventLog_;
  LogLineKinds kinds_;
};

}  // namespace tarnwick
