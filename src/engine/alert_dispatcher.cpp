#include "engine/alert_dispatcher.h"

#include "common/numbers.h"
#include "common/text.h"
#include "delivery/async_read.h"
#include "delivery/service_requests.h"
#include "engine/alert_delivery.h"
#include "engine/engine.h"
#include "engine/service_client.h"

namespace tarnwick {

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

DispatchOutcome DispatchAlert(Engine& engine, Outgoing& out) {
  if (out.repeat) {
    out.logged = out.message + std::string(out.repeatTail);
    if (out.writeLine) engine.WriteLog(out.logged);
    return DispatchOutcome::Repeat;
  }
  // A credits text that is not a number counts as no credits.
  if (!out.creditsLine.empty() && LeadingNumber(Trim(engine.session.credits)) <= 0) {
    out.logged = out.message;
    engine.ReportFailure(FailureResult::Kind::Credits, out.creditsLine);
    return DispatchOutcome::NoCredits;
  }
  const bool loggedIn = engine.session.loggedIn;
  const std::string unwrapped = out.message;
  if (out.writeLine) {
    if (!loggedIn) {
      out.message = std::string(out.notLoggedInStart) + out.message + std::string(kNotLoggedInTail);
    }
    engine.WriteLog(out.message);
  }
  out.logged = out.message;
  if (!loggedIn) {
    // Where logins are tried again, one starts now and the text waits for it.
    if (engine.settings.Enable_alert == 1 && engine.delivery() != nullptr) {
      engine.delivery()->client.HoldForLogin(unwrapped);
    }
    return DispatchOutcome::NotLoggedIn;
  }
  IAlertSender* sender = engine.alertSender();
  if (engine.settings.Enable_alert != 1 || sender == nullptr) return DispatchOutcome::AlertsOff;
  return sender->SendAlert(engine.settings.smsPhone, out.message);
}

AlertDispatcher::AlertDispatcher(Engine& engine, ServiceClient& client, AsyncRead& read1,
                                 AsyncRead& read3)
    : engine_(engine), client_(client), read1_(read1), read3_(read3) {}

DispatchOutcome AlertDispatcher::SendAlert(const std::string& recipients, std::string& message) {
  const Settings& s = engine_.settings;
  if (s.schAlert == 1) {
    const int hour = engine_.deps().clock.Now().hour;
    const auto from = TextToInt16(s.smsFrom);
    const auto to = TextToInt16(s.smsTo);
    // Hours that are not numbers make no window; the window never wraps past midnight.
    if (!from || !to || hour < *from || hour > *to) {
      engine_.WriteLog("Current hour is " + std::to_string(hour) +
                       ". That is not in the defined alert sending time window " + s.smsFrom + "-" +
                       s.smsTo);
      return DispatchOutcome::HourWindow;
    }
  }
  if (LeadingNumber(Trim(engine_.session.credits)) < 1) {
    engine_.ReportFailure(FailureResult::Kind::Credits, std::string(kNoCredits));
    return DispatchOutcome::NoCredits;
  }
  const double limit = LeadingNumber(s.max_SMS);
  if (s.smsSentToday < limit) {
    SmsPath(recipients, message, limit);
    return DispatchOutcome::Sent;
  }
  return MailOnlyPath(message);
}

void AlertDispatcher::SmsPath(const std::string& recipients, std::string& message, double limit) {
  Settings& s = engine_.settings;
  // The count grows when the request is made, whatever its outcome.
  if (s.smsSentToday < INT16_MAX) ++s.smsSentToday;
  if (s.smsSentToday == limit) {
    message += " Today SMS:" + std::to_string(s.smsSentToday) + "/" + s.max_SMS;
  }
  message = LeftCharacters(message, kSmsLimit);
  const std::string url = client_.BuildSmsRequest(0, s.smsEmail, s.smsPassword,
                                                  engine_.session.apiId, "", recipients, message);
  engine_.session.requestSeq = NextRequestSeq(engine_.session.requestSeq);
  read1_.SetPropName("sendsms" + std::to_string(engine_.session.requestSeq));
  read1_.SetDataFromURL(url);
  engine_.WriteLog(std::string(kSmsSentStart) + message + "]");
}

DispatchOutcome AlertDispatcher::MailOnlyPath(std::string& message) {
  const Settings& s = engine_.settings;
  engine_.WriteLog("No SMS send ..up to the limit " + s.max_SMS + " a day");
  if (Trim(s.Mail_List).empty()) return DispatchOutcome::DailyCap;
  const std::string url =
      client_.BuildMailAlertRequest(s.smsEmail, s.smsPassword, s.Mail_List, message);
  engine_.session.requestSeq = NextRequestSeq(engine_.session.requestSeq);
  read3_.SetPropName("sendsms" + std::to_string(engine_.session.requestSeq));
  read3_.SetDataFromURL(url);
  engine_.WriteLog("Mail Alert Send to " + s.Mail_List);
  return DispatchOutcome::MailOnly;
}

}  // namespace tarnwick
