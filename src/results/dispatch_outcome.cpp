#include "results/dispatch_outcome.h"

namespace tarnwick {

std::string_view DispatchOutcomeName(DispatchOutcome outcome) {
  switch (outcome) {
    case DispatchOutcome::Sent:
      return "sent";
    case DispatchOutcome::MailOnly:
      return "mail only";
    case DispatchOutcome::DailyCap:
      return "daily cap";
    case DispatchOutcome::HourWindow:
      return "hour window";
    case DispatchOutcome::NoCredits:
      return "no credits";
    case DispatchOutcome::NotLoggedIn:
      return "not logged in";
    case DispatchOutcome::AlertsOff:
      return "alerts off";
    case DispatchOutcome::Repeat:
      return "repeat";
  }
  return {};
}

}  // namespace tarnwick
