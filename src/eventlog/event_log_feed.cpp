#include "eventlog/event_log_feed.h"

#include <string>

namespace tarnwick {

void EventLogFeed::OnAlert(const AlertResult& alert) {
  EventLogKind kind = EventLogKind::Alert;
  if (!IsProgramWatch(alert.watch)) {
    if (alert.termination == TerminationOutcome::Succeeded) kind = EventLogKind::Kill;
    if (alert.termination == TerminationOutcome::Failed) kind = EventLogKind::Failure;
  }
  eventLog_.Report(kind, alert.message);
}

void EventLogFeed::OnTermination(const TerminationResult& termination) {
  if (!IsProgramWatch(termination.watch)) return;
  eventLog_.Report(termination.terminated ? EventLogKind::Kill : EventLogKind::Failure,
                   termination.line);
}

void EventLogFeed::OnFailure(const FailureResult& failure) {
  eventLog_.Report(EventLogKind::Failure, failure.line);
}

void EventLogFeed::OnLogin(const LoginResult& login) {
  if (login.step != LoginResult::Step::Unreadable || login.retry) return;
  eventLog_.Report(EventLogKind::Failure, std::string(kConnectionErrorMessage));
}

}  // namespace tarnwick
