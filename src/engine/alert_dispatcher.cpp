#include "engine/alert_dispatcher.h"

#include "delivery/async_read.h"
#include "engine/service_client.h"
#include "delivery/service_requests.h"
#include "common/numbers.h"
#include "common/text.h"
#include "forms/main_window_model.h"

namespace tarnwick {

AlertDispatcher::AlertDispatcher(MainWindowModel& window, ServiceClient& client, AsyncRead& read1,
                                 AsyncRead& read3)
    : window_(window), client_(client), read1_(read1), read3_(read3) {}

std::string LeftCharacters(const std::string& text, size_t count) {
  size_t bytes = 0;
  size_t characters = 0;
  while (bytes < text.size() && characters < count) {
    ++bytes;
    // Continuation bytes (10xxxxxx) belong to the character before them.
    while (bytes < text.size() && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) {
      ++bytes;
    }
    ++characters;
  }
  return text.substr(0, bytes);
}

void AlertDispatcher::SendAlert(const std::string& recipients, std::string& message) {
  const Settings& s = window_.settings;
  if (s.schAlert == 1) {
    const int hour = window_.deps().clock.Now().hour;
    const auto from = TextToInt16(s.smsFrom);
    const auto to = TextToInt16(s.smsTo);
    // Hours that are not numbers make no window; the window never wraps past midnight.
    if (!from || !to || hour < *from || hour > *to) {
      window_.WriteLog("Current hour is " + std::to_string(hour) +
                       ". That is not in the defined alert sending time window " + s.smsFrom + "-" +
                       s.smsTo);
      return;
    }
  }
  if (LeadingNumber(Trim(window_.Label7.caption)) < 1) {
    window_.WriteLog(std::string(kNoCredits));
    return;
  }
  const double limit = LeadingNumber(s.max_SMS);
  if (s.smsSentToday < limit) {
    SmsPath(recipients, message, limit);
  } else {
    MailOnlyPath(message);
  }
}

void AlertDispatcher::SmsPath(const std::string& recipients, std::string& message, double limit) {
  Settings& s = window_.settings;
  // The count grows when the request is made, whatever its outcome.
  if (s.smsSentToday < INT16_MAX) ++s.smsSentToday;
  if (s.smsSentToday == limit) {
    message += " Today SMS:" + std::to_string(s.smsSentToday) + "/" + s.max_SMS;
  }
  message = LeftCharacters(message, kSmsLimit);
  const std::string url = client_.BuildSmsRequest(0, s.smsEmail, s.smsPassword,
                                                  window_.session.apiId, "", recipients, message);
  window_.session.requestSeq = NextRequestSeq(window_.session.requestSeq);
  read1_.SetPropName("sendsms" + std::to_string(window_.session.requestSeq));
  read1_.SetDataFromURL(url);
  window_.WriteLog(std::string(kSmsSentStart) + message + "]");
}

void AlertDispatcher::MailOnlyPath(std::string& message) {
  const Settings& s = window_.settings;
  window_.WriteLog("No SMS send ..up to the limit " + s.max_SMS + " a day");
  if (Trim(s.Mail_List).empty()) return;
  const std::string url =
      client_.BuildMailAlertRequest(s.smsEmail, s.smsPassword, s.Mail_List, message);
  window_.session.requestSeq = NextRequestSeq(window_.session.requestSeq);
  read3_.SetPropName("sendsms" + std::to_string(window_.session.requestSeq));
  read3_.SetDataFromURL(url);
  window_.WriteLog("Mail Alert Send to " + s.Mail_List);
}

}  // namespace tarnwick
