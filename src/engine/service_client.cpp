#include "engine/service_client.h"

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

}  // namespace

ServiceClient::ServiceClient(Engine& engine, AsyncRead& read1, AsyncRead& read2, SmtpMailer& mailer)
    : engine_(engine), read1_(read1), read2_(read2), mailer_(mailer) {}

void BeginLogin(Engine& engine) {
  engine.SwitchMonitoring(false, MonitoringSwitch::Login);
  engine.session.credits = std::string("0");
  engine.session.loggedIn = false;
  engine.Announce([](IEngineListener& l) { l.OnLogin({LoginResult::Step::Started, {}, "0", {}}); });
}

void LoginWithoutAccount(Engine& engine) {
  engine.WriteLog(std::string(kNoAccountLog));
  engine.Announce([](IEngineListener& l) {
    l.OnLogin({LoginResult::Step::NoAccount, {}, {}, {}});
  });
  engine.SwitchMonitoring(true, MonitoringSwitch::Login);
}

void ServiceClient::Announce(const LoginResult& result) {
  engine_.Announce([&](IEngineListener& l) { l.OnLogin(result); });
}

void ServiceClient::ServiceLogin() {
  const LocalTime now = engine_.deps().clock.Now();
  const std::string tag = "logon1" + Two(now.minute) + Two(now.second);
  BeginLogin(engine_);
  const LoginAccount account = engine_.AccountForLogin();
  const std::string email = TrimCopy(account.email);
  const std::string password = TrimCopy(account.password);
  if (!email.empty() && !password.empty()) {
    engine_.WriteLog(std::string(kWaitingForLogin));
    Announce({LoginResult::Step::Connecting, {}, {}, {}});
    const std::string url =
        BuildLoginUrl(ServiceHost(), email, password, engine_.deps().clock.LocaleDateTime());
    read1_.SetPropName(tag);
    read1_.SetDataFromURL(url);
  } else {
    LoginWithoutAccount(engine_);
  }
}

void ServiceClient::OnRead1Complete(AsyncRead& reader, const AsyncProperty& completion) {
  if (StartsWith(completion.PropertyName, "logon1")) {
    HandleLoginReply(ToLower(reader.DataFromURL()));
  } else {
    // A send-SMS reply of any content, a failed read too, is answered by a credit update.
    RequestCreditUpdate();
  }
}

void ServiceClient::HandleLoginReply(const std::string& reply) {
  engine_.SwitchMonitoring(true, MonitoringSwitch::Login);
  const LoginReply parsed = ParseLoginReply(reply);
  ServiceSession& session = engine_.session;
  switch (parsed.kind) {
    case LoginReply::Kind::Refused:
      session.loggedIn = false;
      session.credits = std::string("0");
      Announce({LoginResult::Step::Refused, reply, "0", {}});
      return;
    case LoginReply::Kind::Accepted:
      session.credits = parsed.credits;
      session.reloginFlag = parsed.reloginFlag;
      session.apiId = parsed.apiId;
      session.loggedIn = true;
      Announce({LoginResult::Step::Accepted, {}, parsed.credits, engine_.settings.smsEmail});
      return;
    case LoginReply::Kind::Unreadable:
      // A reply that breaks off before its "%" has already given its flag.
      if (parsed.flagRead) session.reloginFlag = parsed.reloginFlag;
      Announce({LoginResult::Step::Unreadable, {}, session.credits, {}});
      return;
  }
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
