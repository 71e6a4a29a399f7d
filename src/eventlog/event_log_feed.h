// What goes to the system's event log (the Windows Event Log): the engine's alerts, terminations
// and failures, each as it is decided, with its log line's text.
#pragma once

#include "platform/event_log.h"
#include "results/engine_listener.h"

namespace tarnwick {

class EventLogFeed final : public IEngineListener {
 public:
  // The event log outlives the feed.
  explicit EventLogFeed(IEventLog& eventLog) : eventLog_(eventLog) {}

  // A watch's alert; one that terminated its top process is a termination, one whose termination
  // failed a failure. The program monitor's alert is an alert, whether or not it was sent.
  void OnAlert(const AlertResult& alert) override;
  // The program monitor's terminations (a machine watch's is reported with its alert).
  void OnTermination(const TerminationResult& termination) override;
  // A log file, a settings file, the usage history, a mail or the credits.
  void OnFailure(const FailureResult& failure) override;
  // The web service out of reach.
  void OnLogin(const LoginResult& login) override;

 private:
  IEventLog& eventLog_;
};

}  // namespace tarnwick
