#include "alerts/smtp_server_model.h"

#include <optional>

#include "alerts/service_requests.h"
#include "alerts/smtp_mailer.h"
#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "monitor/main_window_model.h"

namespace tarnwick {

namespace {

constexpr std::string_view kPublicSmtpItems[] = {"Yahoo", "Hotmail", "My SMTP"};

// The public providers' presets: their SMTP host, port and the mail domain of the placeholder
// address "xxxxx@<domain>".
struct Preset {
  std::string_view host;
  std::string_view port;
  std::string_view domain;
};
constexpr Preset kYahoo{"smtp.mail.yahoo.com", "465", "yahoo.com"};
constexpr Preset kHotmail{"smtp-mail.outlook.com", "25", "hotmail.com"};

// The minutes of the "I am alive" notice: what an empty box becomes, and the least accepted.
constexpr std::string_view kDefaultMinutes = "5";
constexpr int16_t kLeastMinutes = 1;
constexpr std::string_view kLeastMinutesText = "1";

// Save.
constexpr std::string_view kServerFieldsEmpty =
    "SMTP server,Mail from,Username and Password can not be empty";
constexpr std::string_view kSaveUneditedPreset =
    "Need input the valid Mail from and username information";
constexpr std::string_view kAliveRecipientInvalid =
    "Need input valid email on [Mail to] field for [I am alive notice] !!";
constexpr std::string_view kMinutesTooFewStart = "Send mail for I am alive notice need >= ";
constexpr std::string_view kMinutesTooFewEnd = " minutes";

// The test mail.
constexpr std::string_view kTestUneditedPreset =
    "Need input the valid Mail from and Username information";
constexpr std::string_view kTestSenderInvalid =
    "Need input the valid Mail from and Password information";
constexpr std::string_view kRecipientsPrompt = "Input email address, separate by , for multiple";
constexpr std::string_view kRecipientsTitleStart = "Send Test Email via ";
constexpr std::string_view kMailSentOk = "Mail sent OK";
constexpr std::string_view kNoMailClient = "This program has no SMTP client to send mail with";
constexpr std::string_view kTestSubjectStart = "TEST MAIL - ";
constexpr std::string_view kTestSubjectEnd = " Tarnwick Test mail from SMTP server";
constexpr std::string_view kTestBodyStart = "<html><body>TEST Mail - ";
constexpr std::string_view kTestBodyAlert =
    " Web Server CPU 98% exceed 95% for 100 sec.(10 times). *test.exe killed(True). TOP1 :  "
    "test.exe 87% @22:00:10 *test.exe(9),firefox.exe(1)<br><br> Mail from ";
constexpr std::string_view kTestBodyPort = " port number is ";
constexpr std::string_view kTestBodyEnd = "<br><br></body></html>";

// The hint under a failed test mail, chosen by the sender's provider, and the help page that
// OK opens on the service's web site.
constexpr std::string_view kHint163 =
    "Your 163 account must enable the following\r\n"
    "Customer Authorization Code for SMTP\r\n"
    "Click OK to check detail setup";
constexpr std::string_view kHintYahoo =
    "Your Yahoo account must enable\r\n"
    "Allow apps that use less secure sign in\r\n"
    "Click OK to check detail setup";
constexpr std::string_view kHintOther =
    "You may try Yahoo account\r\n"
    "Click OK to check the detail or Cancel\r\n";
constexpr std::string_view kHelpPage163 = "/textpost/cnSMTP.htm";
constexpr std::string_view kHelpPageYahoo = "/textpost/yahooSMTP.htm";

std::string PlaceholderAddress(const Preset& preset) {
  return std::string(kUneditedPresetMarker) + "@" + std::string(preset.domain);
}

}  // namespace

void SmtpServerModel::Load() {
  const Settings& s = window_.settings;
  window_.CenterForm(geometry);
  Command2 = Button{std::string(kSendTestMailCaption)};
  PublicSMTP.items.assign(std::begin(kPublicSmtpItems), std::end(kPublicSmtpItems));

  Check1 = s.Enable_SMTP == 1;
  ApplyCheck1Rule();
  mailSvr = s.mailSvr;
  OnPublicSMTPClick(s.mailSvr.empty() ? kYahooPreset : kMySmtpPreset);
  alive_Email = s.alive_Email == 1;
  min_Select = s.min_Select.empty() ? std::string(kDefaultMinutes) : s.min_Select;
  mailTo1 = s.mailTo1;
}

void SmtpServerModel::OnPublicSMTPClick(int listIndex) {
  if (listIndex < 0 || static_cast<size_t>(listIndex) >= PublicSMTP.items.size()) return;
  PublicSMTP.listIndex = listIndex;
  if (listIndex == kMySmtpPreset) {
    const Settings& s = window_.settings;
    mailSvr = s.mailSvr;
    SMTPport = s.SMTPport;
    mailFrom = s.mailFrom;
    MailUser = s.MailUser;
    MailPass = s.MailPass;
    return;
  }
  const Preset& preset = listIndex == kYahooPreset ? kYahoo : kHotmail;
  mailSvr = std::string(preset.host);
  SMTPport = std::string(preset.port);
  mailFrom = MailUser = PlaceholderAddress(preset);
  MailPass.clear();
}

// The notice goes out through the second server, so it can be on only while that server is.
void SmtpServerModel::ApplyCheck1Rule() {
  const bool on = Check1;
  SmtpServerEnabled& e = enabled;
  e.mailSvr = e.mailFrom = e.SMTPport = e.MailUser = e.MailPass = on;
  e.alive_Email = e.min_Select = e.mailTo1 = on;
  PublicSMTP.enabled = on;
  Command2.enabled = on;
  if (!on) alive_Email = false;
}

void SmtpServerModel::Tell(std::string_view message) {
  window_.deps().ui.MessageBox(std::string(message), MessageButtons::Ok,
                               std::string(kDialogMessageTitle));
}

void SmtpServerModel::OnCommand2Click() {
  if (Contains(mailFrom, kUneditedPresetMarker) || Contains(MailUser, kUneditedPresetMarker)) {
    Tell(kTestUneditedPreset);
    return;
  }
  if (!LooksLikeMailAddress(mailFrom) || MailPass.empty()) {
    Tell(kTestSenderInvalid);
    return;
  }
  SendTestMail();
}

void SmtpServerModel::SendTestMail() {
  MainWindowDeps& deps = window_.deps();
  const std::optional<std::string> recipients = deps.ui.InputBox(
      std::string(kRecipientsPrompt), std::string(kRecipientsTitleStart) + mailSvr, "");
  // Cancelling the question sends nothing.
  if (!recipients) return;

  Command2.caption = std::string(kTestingCaption);
  Command2.enabled = false;
  // The caption shows while the server is being asked.
  deps.ui.DoEvents();
  const std::string now = YmdHms(deps.clock.Now());
  const std::string subject = std::string(kTestSubjectStart) + now + std::string(kTestSubjectEnd);
  const std::string body = std::string(kTestBodyStart) + now + std::string(kTestBodyAlert) +
                           mailSvr + std::string(kTestBodyPort) + SMTPport +
                           std::string(kTestBodyEnd);
  const std::string error = deps.smtpClient != nullptr
                                ? SendMailCdo(*deps.smtpClient, MailUser, MailPass, mailFrom,
                                              *recipients, subject, body, mailSvr, SMTPport)
                                : std::string(kNoMailClient);
  Command2.enabled = true;
  Command2.caption = std::string(kSendTestMailCaption);

  if (error.empty()) {
    Tell(kMailSentOk);
    return;
  }
  // "yahoo" wins over "163" when the sender holds both.
  const std::string sender = ToLower(mailFrom);
  std::string_view hint = kHintOther;
  std::string_view page = kHelpPageYahoo;
  if (Contains(sender, "yahoo")) {
    hint = kHintYahoo;
  } else if (Contains(sender, "163")) {
    hint = kHint163;
    page = kHelpPage163;
  }
  const MessageAnswer answer =
      deps.ui.MessageBox(error + std::string(kCrLf) + std::string(hint), MessageButtons::OkCancel,
                         std::string(kDialogMessageTitle));
  if (answer == MessageAnswer::Ok)
    deps.ui.OpenUrl(ServiceOrigin(ServiceHost()) + std::string(page));
}

bool SmtpServerModel::OnSaveClick() {
  Settings& s = window_.settings;
  // 1. The server takes effect at once, whatever the checks below say.
  s.Enable_SMTP = Check1 ? 1 : 0;
  s.mailSvr = mailSvr;
  s.SMTPport = SMTPport;
  s.mailFrom = mailFrom;
  s.MailUser = MailUser;
  s.MailPass = MailPass;

  // 2.
  if (Check1) {
    if (mailSvr.empty() || mailFrom.empty() || MailUser.empty() || MailPass.empty()) {
      Tell(kServerFieldsEmpty);
      return false;
    }
    if (Contains(mailFrom, kUneditedPresetMarker) || Contains(MailUser, kUneditedPresetMarker)) {
      Tell(kSaveUneditedPreset);
      return false;
    }
  }

  // 3 to 5: the notice switch, its recipient and its minutes, also in force when 6 or 7 refuse.
  s.alive_Email = alive_Email ? 1 : 0;
  window_.Timer5.enabled = alive_Email;
  s.mailTo1 = TrimCopy(mailTo1);
  if (min_Select.empty()) min_Select = std::string(kDefaultMinutes);
  s.min_Select = TrimCopy(min_Select);
  const std::optional<int16_t> countdown = ToInt16(LeadingNumber(s.min_Select));
  window_.aliveCountdown = countdown.value_or(kLeastMinutes);

  // 6.
  if (alive_Email && !LooksLikeMailAddress(s.mailTo1)) {
    Tell(kAliveRecipientInvalid);
    return false;
  }
  // 7. A text that is no whole number (letters, or too large) is refused the same way.
  const std::optional<int16_t> minutes = TextToInt16(s.min_Select);
  if (!minutes || *minutes < kLeastMinutes) {
    Tell(std::string(kMinutesTooFewStart) + std::string(kLeastMinutesText) +
         std::string(kMinutesTooFewEnd));
    min_Select = std::string(kLeastMinutesText);
    return false;
  }

  // 8. A file that could not be written is not told: the values are in force for this run.
  window_.store().SaveSMTPSettings(s);
  Unload();
  return true;
}

}  // namespace tarnwick
