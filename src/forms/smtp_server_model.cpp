#include "forms/smtp_server_model.h"

#include <optional>

#include "delivery/html_text.h"
#include "delivery/service_requests.h"
#include "delivery/smtp_mailer.h"
#include "common/numbers.h"
#include "common/text.h"
#include "settings/mail_address.h"
#include "common/time_text.h"
#include "forms/main_window_model.h"

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
  // A test mail still on its way keeps the button busy in a dialog opened anew meanwhile.
  Command2 = Button{std::string(testMailSending_ ? kTestingCaption : kSendTestMailCaption)};
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
  Command2.enabled = on && !testMailSending_;
  if (!on) alive_Email = false;
}

void SmtpServerModel::Tell(std::string_view message) {
  window_.deps().ui.MessageBox(std::string(message), MessageButtons::Ok,
                               std::string(kDialogMessageTitle));
}

void SmtpServerModel::OnCommand2Click() {
  // A disabled button takes no click: one test mail at a time.
  if (!Command2.enabled || testMailSending_) return;
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

  const std::string now = YmdHms(deps.clock.Now());
  const std::string subject = std::string(kTestSubjectStart) + now + std::string(kTestSubjectEnd);
  const std::string body = std::string(kTestBodyStart) + now + std::string(kTestBodyAlert) +
                           HtmlEscape(mailSvr) + std::string(kTestBodyPort) + HtmlEscape(SMTPport) +
                           std::string(kTestBodyEnd);
  if (deps.smtpClient == nullptr) {
    TellTestMailResult(std::string(kNoMailClient), mailFrom);
    return;
  }
  // The mail goes out while the program runs on; the button says so and takes no second click
  // until the answer is in.
  testMailSending_ = true;
  Command2.caption = std::string(kTestingCaption);
  Command2.enabled = false;
  std::weak_ptr<SmtpServerModel*> self = self_;
  SendMailCdo(*deps.smtpClient, MailUser, MailPass, mailFrom, *recipients, subject, body, mailSvr,
              SMTPport, [self, sender = mailFrom](const std::string& error) {
                const auto model = self.lock();
                if (!model) return;
                SmtpServerModel& dialog = **model;
                dialog.testMailSending_ = false;
                dialog.Command2.caption = std::string(kSendTestMailCaption);
                dialog.ApplyCheck1Rule();
                dialog.TellTestMailResult(error, sender);
              });
}

void SmtpServerModel::TellTestMailResult(const std::string& error, const std::string& from) {
  MainWindowDeps& deps = window_.deps();
  if (error.empty()) {
    Tell(kMailSentOk);
    return;
  }
  // "yahoo" wins over "163" when the sender holds both.
  const std::string sender = ToLower(from);
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
  if (answer == MessageAnswer::Ok) deps.ui.OpenUrl(ServiceUrl(ServiceHost(), page));
}

// What a Save takes from the boxes, as they were at the click.
struct SmtpServerModel::Entries {
  // The second server.
  int16_t Enable_SMTP = 0;
  std::string mailSvr, SMTPport, mailFrom, MailUser, MailPass;
  // The "I am alive" notice.
  bool alive_Email = false;
  std::string mailTo1, min_Select;
};

void SmtpServerModel::EnterServer(const Entries& e, Settings& s) {
  s.Enable_SMTP = e.Enable_SMTP;
  s.mailSvr = e.mailSvr;
  s.SMTPport = e.SMTPport;
  s.mailFrom = e.mailFrom;
  s.MailUser = e.MailUser;
  s.MailPass = e.MailPass;
}

void SmtpServerModel::EnterNotice(const Entries& e, Settings& s) {
  s.alive_Email = e.alive_Email ? 1 : 0;
  s.mailTo1 = e.mailTo1;
  s.min_Select = e.min_Select;
}

// The notice's switch and minutes drive the main window's countdown.
void SmtpServerModel::StartNotice(const Entries& e) {
  window_.Timer5.enabled = e.alive_Email;
  window_.aliveCountdown = ToInt16(LeadingNumber(e.min_Select)).value_or(kLeastMinutes);
}

// A check that refuses the Save puts what the steps before it took in force, unsaved, before
// its message; a file that cannot be written changes nothing in force at any moment.
bool SmtpServerModel::OnSaveClick() {
  const Entries e{Check1 ? int16_t{1} : int16_t{0},
                  mailSvr,
                  SMTPport,
                  mailFrom,
                  MailUser,
                  MailPass,
                  alive_Email,
                  TrimCopy(mailTo1),
                  min_Select.empty() ? std::string(kDefaultMinutes) : TrimCopy(min_Select)};
  Settings& s = window_.settings;

  // The server fields stay in force even when these refuse the Save.
  if (Check1) {
    const bool empty = mailSvr.empty() || mailFrom.empty() || MailUser.empty() || MailPass.empty();
    if (empty || Contains(mailFrom, kUneditedPresetMarker) ||
        Contains(MailUser, kUneditedPresetMarker)) {
      EnterServer(e, s);
      Tell(empty ? kServerFieldsEmpty : kSaveUneditedPreset);
      return false;
    }
  }

  // An empty minutes box shows the minutes it stands for.
  if (min_Select.empty()) min_Select = std::string(kDefaultMinutes);

  // The notice's checks refuse with its switch, recipient and minutes in force as well.
  const auto refuse = [&](const std::string& message) {
    EnterServer(e, s);
    EnterNotice(e, s);
    StartNotice(e);
    Tell(message);
    return false;
  };
  if (e.alive_Email && !LooksLikeMailAddress(e.mailTo1)) {
    return refuse(std::string(kAliveRecipientInvalid));
  }
  // A text that is no whole number (letters, or too large) is refused the same way.
  const std::optional<int16_t> minutes = TextToInt16(e.min_Select);
  if (!minutes || *minutes < kLeastMinutes) {
    refuse(std::string(kMinutesTooFewStart) + std::string(kLeastMinutesText) +
           std::string(kMinutesTooFewEnd));
    min_Select = std::string(kLeastMinutesText);
    return false;
  }

  // A file that could not be written leaves the dialog open with the user's entries.
  Settings saved = s;
  EnterServer(e, saved);
  EnterNotice(e, saved);
  if (!window_.store().SaveSMTPSettings(saved, window_.deps().ui)) return false;
  EnterServer(e, s);
  EnterNotice(e, s);
  StartNotice(e);
  Unload();
  return true;
}

}  // namespace tarnwick
