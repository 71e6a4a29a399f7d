// Whether an alert or notice goes out, decided here and nowhere else, in this order:
//  1. a repeat of an alert already sent is written to the log only;
//  2. the program monitor's own credits check;
//  3. the web service account must be logged in;
//  4. alert sending must be switched on;
//  5. the sending-hour window, the credits and the daily SMS cap (SendAlert).
// Then a send-SMS request (which may carry the mail list) or, once the cap is reached, a
// mail-only request.
#pragma once

#include <string>
#include <string_view>

#include "engine/alert_sender.h"
#include "results/dispatch_outcome.h"

namespace tarnwick {

class AsyncRead;
class Engine;
class ServiceClient;

inline constexpr std::string_view kNoCredits =
    "Credits is not enough to send SMS and Mail alerts !!";
// An SMS carries at most this many characters.
inline constexpr size_t kSmsLimit = 160;
// The log line of an SMS handed to the web service: this, the SMS, then "]".
inline constexpr std::string_view kSmsSentStart = "Send SMS message [";
// Wraps the line of an alert or notice that cannot go out for want of a login.
inline constexpr std::string_view kNotLoggedInTail = "] can not be sent out, please login..";

// What a watch hands over.
struct Outgoing {
  std::string message;
  // It repeats an alert already sent: its line, with `repeatTail`, goes to the log only.
  bool repeat = false;
  std::string_view repeatTail;
  // The watches' alerts and notices write their line here: wrapped in this start and
  // kNotLoggedInTail while not logged in. The program monitor's have no line of their own.
  bool writeLine = true;
  std::string_view notLoggedInStart;
  // The program monitor checks the credits first and writes this line when there are none.
  std::string creditsLine;
  // Out: the text as written to the log (the message, where no line was written).
  std::string logged;
};

// The whole decision for one alert or notice; the watches' and the program monitor's alike.
DispatchOutcome DispatchAlert(Engine& engine, Outgoing& out);

// Step 5, the dispatcher of the web service: SendAlert.
class AlertDispatcher final : public IAlertSender {
 public:
  // `read1` carries send-SMS requests, `read3` mail-only requests (nothing reads their replies).
  AlertDispatcher(Engine& engine, ServiceClient& client, AsyncRead& read1, AsyncRead& read3);

  DispatchOutcome SendAlert(const std::string& recipients, std::string& message) override;

 private:
  void SmsPath(const std::string& recipients, std::string& message, double limit);
  DispatchOutcome MailOnlyPath(std::string& message);

  Engine& engine_;
  ServiceClient& client_;
  AsyncRead& read1_;
  AsyncRead& read3_;
};

// The first `count` characters of UTF-8 text (a character is never cut in half).
std::string LeftCharacters(const std::string& text, size_t count);

}  // namespace tarnwick
