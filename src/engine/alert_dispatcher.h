// SendAlert: whether an alert goes out and through which channel, in this order: the sending-hour
// window, the credits, the daily SMS cap; then a send-SMS request (which may carry the mail list)
// or, once the cap is reached, a mail-only request.
#pragma once

#include <string>
#include <string_view>

#include "engine/alert_sender.h"

namespace tarnwick {

class AsyncRead;
class MainWindowModel;
class ServiceClient;

inline constexpr std::string_view kNoCredits =
    "Credits is not enough to send SMS and Mail alerts !!";
// An SMS carries at most this many characters.
inline constexpr size_t kSmsLimit = 160;
// The log line of an SMS handed to the web service: this, the SMS, then "]".
inline constexpr std::string_view kSmsSentStart = "Send SMS message [";

class AlertDispatcher final : public IAlertSender {
 public:
  // `read1` carries send-SMS requests, `read3` mail-only requests (nothing reads their replies).
  AlertDispatcher(MainWindowModel& window, ServiceClient& client, AsyncRead& read1,
                  AsyncRead& read3);

  void SendAlert(const std::string& recipients, std::string& message) override;

 private:
  void SmsPath(const std::string& recipients, std::string& message, double limit);
  void MailOnlyPath(std::string& message);

  MainWindowModel& window_;
  ServiceClient& client_;
  AsyncRead& read1_;
  AsyncRead& read3_;
};

// The first `count` characters of UTF-8 text (a character is never cut in half).
std::string LeftCharacters(const std::string& text, size_t count);

}  // namespace tarnwick
