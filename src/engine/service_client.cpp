#include "engine/service_client.h"

#include <chrono>
#include <random>

#include "common/text.h"
#include "delivery/async_read.h"
#include "delivery/html_text.h"
#include "delivery/service_requests.h"
#include "delivery/smtp_mailer.h"
#include "engine/engine.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHtmlBreak = "<br>";

std::string Two(int value) {
  // A whole string first: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  return std::string(value < 10 ? "0" : "") + std::to_string(value);
}

std::function<double()> RetrySpread(Engine& engine) {
  if (engine.deps().random) return engine.deps().random;
  // Machines of a fleet differ in their clocks' readings: enough to keep their retries apart.
  auto generator = std::make_shared<std::minstd_rand>(
      static_cast<std::minstd_rand::result_type>(engine.deps().clock.MonotonicNs()));
  return [generator] { return std::uniform_real_distribution<double>(0.0, 1.0)(*generator); };
}

}  // namespace

ServiceClient::ServiceClient(Engine& engine, AsyncRead& read1, AsyncRead& read2, SmtpMailer& mailer)
    : engine_(engine),
      read1_(read1),
      read2_(read2),
      mailer_(mailer),
      recovery_(engine.deps().loginRetry, RetrySpread(engine),
                [&engine](const std::string& line) { engine.WriteLog(line); }) {}

void BeginLogin(Engine& engine) {
  engine.SwitchMonitoring(false, MonitoringSwitch::Login);
  engine.session.credits = std::string("0");
  engine.session.loggedIn = false;
  engine.Announce([](IEngineListener& l) { l.OnLogin({LoginResult::Step::Started, {}, "0", {}}); });
}

void LoginWithoutAccount(Engine& engine) {
  const std::string_view line = engine.deps().noAccountLine;
  engine.WriteLog(std::string(line.empty() ? kNoAccountLog : line));
  engine.Announce([](IEngineListener& l) {
    l.OnLogin({LoginResult::Step::NoAccount, {}, {}, {}});
  });
  engine.SwitchMonitoring(true, MonitoringSwitch::Login);
}

void ServiceClient::Announce(const LoginResult& result) {
  engine_.Announce([&](IEngineListener& l) { l.OnLogin(result); });
}

void ServiceClient::ServiceLogin() {
  retryInFlight_ = false;
  recovery_.UserLogin();
  BeginLogin(engine_);
  if (StartLoginRequest()) {
    engine_.WriteLog(std::string(kWaitingForLogin));
    Announce({LoginResult::Step::Connecting, {}, {}, {}});
  } else {
    LoginWithoutAccount(engine_);
  }
}

bool ServiceClient::StartLoginRequest() {
  const LocalTime now = engine_.deps().clock.Now();
  const LoginAccount account = engine_.AccountForLogin();
  const std::string email = TrimCopy(account.email);
  const std::string password = TrimCopy(account.password);
  if (email.empty() || password.empty()) return false;
  const std::string url =
      BuildLoginUrl(ServiceHost(), email, password, engine_.deps().clock.LocaleDateTime());
  read1_.SetPropName("logon1" + Two(now.minute) + Two(now.second));
  read1_.SetDataFromURL(url);
  return true;
}

void ServiceClient::RetryLogin() {
  if (!StartLoginRequest()) {
    // The account went away meanwhile: nothing to log in with, nothing to try again.
    recovery_.Reset();
    DropHeld();
    return;
  }
  retryInFlight_ = true;
}

void ServiceClient::OnTick() {
  if (held_ && engine_.session.loggedIn) {
    std::string message = std::move(*held_);
    held_.reset();
    IAlertSender* sender = engine_.alertSender();
    if (engine_.settings.Enable_alert == 1 && sender != nullptr) {
      engine_.WriteLog(std::string(kHeldAlertSentLine));
      sender->SendAlert(engine_.settings.smsPhone, message);
    }
  }
  if (recovery_.TakeDue(engine_.deps().clock.MonotonicNs())) RetryLogin();
}

void ServiceClient::HoldForLogin(const std::string& message) {
  if (engine_.session.loggedIn) return;
  const bool underWay = retryInFlight_;
  if (!recovery_.RetryNow(engine_.deps().clock.MonotonicNs())) return;
  held_ = message;
  engine_.WriteLog(std::string(kHeldAlertLine));
  if (!underWay) RetryLogin();
}

void ServiceClient::DropHeld() {
  if (!held_) return;
  held_.reset();
  engine_.WriteLog(std::string(kHeldAlertDroppedLine));
}

void ServiceClient::OnRead1Complete(AsyncRead& reader, const AsyncProperty& completion) {
  if (StartsWith(completion.PropertyName, "logon1")) {
    const bool retry = retryInFlight_;
    retryInFlight_ = false;
    HandleLoginReply(ToLower(reader.DataFromURL()), retry);
  } else {
    // A send-SMS reply of any content, a failed read too, is answered by a credit update.
    RequestCreditUpdate();
  }
}

void ServiceClient::HandleLoginReply(const std::string& reply, bool retry) {
  // A retry runs while monitoring goes on: switching it on again would restart the watches.
  if (!retry) engine_.SwitchMonitoring(true, MonitoringSwitch::Login);
  const long long now = engine_.deps().clock.MonotonicNs();
  const LoginReply parsed = ParseLoginReply(reply);
  ServiceSession& session = engine_.session;
  switch (parsed.kind) {
    case LoginReply::Kind::Refused:
      session.loggedIn = false;
      session.credits = std::string("0");
      recovery_.Failed(true, now);
      if (!recovery_.retrying()) DropHeld();
      Announce({LoginResult::Step::Refused, reply, "0", {}, retry});
      break;
    case LoginReply::Kind::Accepted:
      session.credits = parsed.credits;
      session.reloginFlag = parsed.reloginFlag;
      session.apiId = parsed.apiId;
      session.loggedIn = true;
      recovery_.Succeeded();
      Announce({LoginResult::Step::Accepted, {}, parsed.credits, engine_.settings.smsEmail, retry});
      break;
    case LoginReply::Kind::Unreadable:
      // A reply that breaks off before its "%" has already given its flag.
      if (parsed.flagRead) session.reloginFlag = parsed.reloginFlag;
      recovery_.Failed(false, now);
      if (!recovery_.retrying()) DropHeld();
      Announce({LoginResult::Step::Unreadable, {}, session.credits, {}, retry});
      break;
  }
  // A held alert waits for the next retry only as long as the first one: an alert minutes old
  // is no alert any more.
  if (held_ && !session.loggedIn && retry) DropHeld();
}

void ServiceClient::RequestCreditUpdate() {
  engine_.session.requestSeq = NextRequestSeq(engine_.session.requestSeq);
  read2_.SetPropName("getcredit" + std::to_string(engine_.session.requestSeq));
  read2_.SetDataFromURL(BuildCreditUpdateUrl(ServiceHost(), engine_.settings.smsEmail,
                                             engine_.deps().clock.LocaleDateTime()));
}

void ServiceClient::OnRead2Complete(AsyncRead& reader, const AsyncProperty&) {
  // A failed read hands back its own URL, which names "http": the credits stay as they were.
  const std::string& text = reader.DataFromURL();
  if (Contains(ToLower(text), "http")) return;
  engine_.session.credits = TrimCopy(text);
  const CreditsResult result{engine_.session.credits};
  engine_.Announce([&](IEngineListener& l) { l.OnCredits(result); });
}

std::string ServiceClient::BuildSmsRequest(int16_t unicode, const std::string& email,
                                           const std::string& password, const std::string& apiId,
                                           const std::string& /*from*/,
                                           const std::string& recipients,
                                           const std::string& message) {
  const Settings& s = engine_.settings;
  std::string url =
      BuildSmsUrl(ServiceHost(), unicode, email, password, apiId, recipients, message, s.Mail_List);
  if (MailListQualifies(s.Mail_List) && s.Enable_SMTP == 1) {
    // A mailer that cannot be started has said so in the log; the copy is not claimed.
    // The mail's body is HTML: a process name like "<div hidden>" must arrive as text.
    if (mailer_.RunMailer(s.Mail_List, message, HtmlEscape(message))) {
      engine_.WriteLog("Send Mail Alert to " + s.Mail_List + " via SMTP server " + s.mailSvr);
    }
  }
  return url;
}

std::string ServiceClient::BuildMailAlertRequest(const std::string& email,
                                                 const std::string& password,
                                                 const std::string& list, std::string& message) {
  std::string url = BuildMailAlertUrl(ServiceHost(), email, password, list, message);
  if (engine_.settings.Enable_SMTP == 1) {
    // The body is HTML, so its values are escaped. The caller's text and the subject get the
    // "<br>" line breaks as they always did, but no escaping: a subject is no markup.
    std::string body = HtmlEscape(message);
    message = ReplaceAll(message, kCrLf, kHtmlBreak);
    mailer_.SendMailViaSmtp(list, body, message);
  }
  return url;
}

}  // namespace tarnwick
