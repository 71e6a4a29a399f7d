#include "engine/service_client.h"

#include "delivery/async_read.h"
#include "delivery/html_text.h"
#include "delivery/service_requests.h"
#include "delivery/smtp_mailer.h"
#include "common/text.h"
#include "forms/main_window_model.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHtmlBreak = "<br>";

std::string Two(int value) {
  // A whole string first: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  return std::string(value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

ServiceClient::ServiceClient(MainWindowModel& window, AsyncRead& read1, AsyncRead& read2,
                             SmtpMailer& mailer)
    : window_(window), read1_(read1), read2_(read2), mailer_(mailer) {}

void BeginLogin(MainWindowModel& window) {
  window.SetMonitoring(false);
  window.Label7.caption = std::string("0");
  window.session.loggedIn = false;
  window.visible = true;
  window.caption = std::string(kLoginCaption);
}

void LoginWithoutAccount(MainWindowModel& window) {
  window.WriteLog(std::string(kNoAccountLog));
  window.Label4.caption = std::string(kNoAccountLabel);
  window.SetMonitoring(true);
}

void ServiceClient::ServiceLogin() {
  const LocalTime now = window_.deps().clock.Now();
  const std::string tag = "logon1" + Two(now.minute) + Two(now.second);
  BeginLogin(window_);
  AlertSettingModel& dialog = window_.alertSetting();
  dialog.EnsureLoaded();
  const std::string email = TrimCopy(dialog.smsEmail);
  const std::string password = TrimCopy(dialog.smsPassword);
  if (!email.empty() && !password.empty()) {
    window_.WriteLog(std::string(kWaitingForLogin));
    window_.Label4.caption = std::string(kConnectingLabel);
    const std::string url =
        BuildLoginUrl(ServiceHost(), email, password, window_.deps().clock.LocaleDateTime());
    read1_.SetPropName(tag);
    read1_.SetDataFromURL(url);
  } else {
    LoginWithoutAccount(window_);
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
  window_.SetMonitoring(true);
  const LoginReply parsed = ParseLoginReply(reply);
  switch (parsed.kind) {
    case LoginReply::Kind::Refused:
      window_.session.loggedIn = false;
      window_.Label4.caption = reply;
      window_.Label7.caption = std::string("0");
      window_.Label7.visible = false;
      return;
    case LoginReply::Kind::Accepted:
      window_.Label7.caption = parsed.credits;
      window_.Label7.visible = true;
      window_.Label4.caption = "Account : " + window_.settings.smsEmail;
      window_.session.reloginFlag = parsed.reloginFlag;
      window_.session.apiId = parsed.apiId;
      window_.session.loggedIn = true;
      return;
    case LoginReply::Kind::Unreadable:
      // A reply that breaks off before its "%" has already given its flag.
      if (parsed.flagRead) window_.session.reloginFlag = parsed.reloginFlag;
      window_.Label4.caption = std::string(kLoginFailedLabel);
      window_.deps().ui.MessageBox(std::string(kConnectionErrorMessage), MessageButtons::Ok,
                                   "Tarnwick");
      return;
  }
}

void ServiceClient::RequestCreditUpdate() {
  window_.session.requestSeq = NextRequestSeq(window_.session.requestSeq);
  read2_.SetPropName("getcredit" + std::to_string(window_.session.requestSeq));
  read2_.SetDataFromURL(BuildCreditUpdateUrl(ServiceHost(), window_.settings.smsEmail,
                                             window_.deps().clock.LocaleDateTime()));
}

void ServiceClient::OnRead2Complete(AsyncRead& reader, const AsyncProperty&) {
  // A failed read hands back its own URL, which names "http": the credits stay as they were.
  const std::string& text = reader.DataFromURL();
  if (!Contains(ToLower(text), "http")) window_.Label7.caption = TrimCopy(text);
}

std::string ServiceClient::BuildSmsRequest(int16_t unicode, const std::string& email,
                                           const std::string& password, const std::string& apiId,
                                           const std::string& /*from*/,
                                           const std::string& recipients,
                                           const std::string& message) {
  const Settings& s = window_.settings;
  std::string url =
      BuildSmsUrl(ServiceHost(), unicode, email, password, apiId, recipients, message, s.Mail_List);
  if (MailListQualifies(s.Mail_List) && s.Enable_SMTP == 1) {
    // A mailer that cannot be started has said so in the log; the copy is not claimed.
    // The mail's body is HTML: a process name like "<div hidden>" must arrive as text.
    if (mailer_.RunMailer(s.Mail_List, message, HtmlEscape(message))) {
      window_.WriteLog("Send Mail Alert to " + s.Mail_List + " via SMTP server " + s.mailSvr);
    }
  }
  return url;
}

std::string ServiceClient::BuildMailAlertRequest(const std::string& email,
                                                 const std::string& password,
                                                 const std::string& list, std::string& message) {
  std::string url = BuildMailAlertUrl(ServiceHost(), email, password, list, message);
  if (window_.settings.Enable_SMTP == 1) {
    // The body is HTML, so its values are escaped. The caller's text and the subject get the
    // "<br>" line breaks as they always did, but no escaping: a subject is no markup.
    std::string body = HtmlEscape(message);
    message = ReplaceAll(message, kCrLf, kHtmlBreak);
    mailer_.SendMailViaSmtp(list, body, message);
  }
  return url;
}

}  // namespace tarnwick
