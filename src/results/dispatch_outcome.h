// What became of an alert or notice handed to the dispatcher: the one answer to whether it went
// out, and if not, why.
#pragma once

#include <string_view>

namespace tarnwick {

enum class DispatchOutcome {
  Sent,         // the send-SMS request went to the web service (with the mail list, if any)
  MailOnly,     // the day's SMS cap is reached: a mail-only request went instead
  DailyCap,     // the day's SMS cap is reached and there is no mail list: nothing went
  HourWindow,   // outside the hours in which alerts are sent
  NoCredits,    // no SMS credits are left
  NotLoggedIn,  // the web service account is not logged in
  AlertsOff,    // alert sending is switched off, or this program has no way to send
  Repeat,       // it repeats an alert already sent: written to the log only
};

// A request carrying it went to the web service.
inline bool WentOut(DispatchOutcome outcome) {
  return outcome == DispatchOutcome::Sent || outcome == DispatchOutcome::MailOnly;
}

// "sent", "mail only", "daily cap", "hour window", "no credits", "not logged in", "alerts off",
// "repeat".
std::string_view DispatchOutcomeName(DispatchOutcome outcome);

}  // namespace tarnwick
