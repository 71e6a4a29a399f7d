#include "forms/smtp_server_model.h"

#include <optional>

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "delivery/html_text.h"
#include "delivery/service_requests.h"
#include "delivery/smtp_mailer.h"
#include "forms/form_context.h"
#include "settings/mail_address.h"
#include "settings/smtp_settings_checker.h"

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

// The minutes of the "I am alive" notice when its text is none.
constexpr int16_t kLeastMinutes = 1;

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
  const Settings& s = context_.engine().settings;
  context_.CenterForm(geometry);
  // A test mail still on its way keeps the button busy in a dialog opened anew meanwhile.
  Command2 = Button{std::string(testMailSending_ ? kTestingCaption : kSendTestMailCaption)};
  PublicSMTP.items.assign(std::begin(kPublicSmtpItems), std::end(kPublicSmtpItems));

  Check1 = s.Enable_SMTP == 1;
  ApplyCheck1Rule();
  mailSvr = s.mailSvr;
  OnPublicSMTPClick(s.mailSvr.empty() ? kYahooPreset : kMySmtpPreset);
  alive_Email = s.alive_Email == 1;
  min_Select = s.min_Select.empty() ? std::string("5") : s.min_Select;
  mailTo1 = s.mailTo1;
}

void SmtpServerModel::OnPublicSMTPClick(int listIndex) {
  if (listIndex < 0 || static_cast<size_t>(listIndex) >= PublicSMTP.items.size()) return;
  PublicSMTP.listIndex = listIndex;
  if (listIndex == kMySmtpPreset) {
    const Settings& s = context_.engine().settings;
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
  context_.Tell(message);
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
  IUiServices& ui = context_.ui();
  const std::optional<std::string> recipients =
      ui.InputBox(std::string(kRecipientsPrompt), std::string(kRecipientsTitleStart) + mailSvr, "");
  // Cancelling the question sends nothing.
  if (!recipients) return;

  const std::string now = YmdHms(context_.engine().deps().clock.Now());
  const std::string subject = std::string(kTestSubjectStart) + now + std::string(kTestSubjectEnd);
  const std::string body = std::string(kTestBodyStart) + now + std::string(kTestBodyAlert) +
                           HtmlEscape(mailSvr) + std::string(kTestBodyPort) + HtmlEscape(SMTPport) +
                           std::string(kTestBodyEnd);
  IAsyncSmtpClient* client = context_.smtpClient();
  if (client == nullptr) {
    TellTestMailResult(std::string(kNoMailClient), mailFrom);
    return;
  }
  // The mail goes out while the program runs on; the button says so and takes no second click
  // until the answer is in.
  testMailSending_ = true;
  Command2.caption = std::string(kTestingCaption);
  Command2.enabled = false;
  std::weak_ptr<SmtpServerModel*> self = self_;
  SendMailCdo(*client, MailUser, MailPass, mailFrom, *recipients, subject, body, mailSvr, SMTPport,
              [self, sender = mailFrom](const std::string& error) {
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
  IUiServices& ui = context_.ui();
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
      context_.Tell(error + std::string(kCrLf) + std::string(hint), MessageButtons::OkCancel);
  if (answer == MessageAnswer::Ok) ui.OpenUrl(ServiceUrl(ServiceHost(), page));
}

// A refusal puts what the steps before it took in force, unsaved, before its message: the
// server's fields, and after a check of the notice's the notice too.
class SmtpServerModel::Report final : public ISettingCheckReport {
 public:
  Report(SmtpServerModel& dialog, const SmtpSettingEntries& entered)
      : dialog_(dialog), entered_(entered) {}
  void Refuse(std::string_view setting, const std::string& message) override {
    Engine& engine = dialog_.context_.engine();
    dialog_.RememberSaved();
    EnterSmtpServer(entered_, engine.settings);
    if (StageOf(setting) == SmtpCheckStage::Notice) {
      EnterSmtpNotice(entered_, engine.settings);
      StartNotice(engine);
    }
    dialog_.context_.TellRefusal(setting, message);
  }
  bool Ask(std::string_view setting, const std::string& message) override {
    return dialog_.context_.AskYesNo(setting, message);
  }

 private:
  SmtpServerModel& dialog_;
  const SmtpSettingEntries& entered_;
};

// The notice's switch and minutes drive the engine's countdown.
void SmtpServerModel::StartNotice(Engine& engine) {
  const Settings& s = engine.settings;
  engine.StartAliveNotice(s.alive_Email == 1,
                          ToInt16(LeadingNumber(s.min_Select)).value_or(kLeastMinutes));
}

SmtpSettingEntries SmtpServerModel::Entries() const {
  return SmtpSettingEntries{Check1,   mailSvr,     SMTPport,   mailFrom, MailUser,
                            MailPass, alive_Email, min_Select, mailTo1};
}

// A file that cannot be written changes nothing in force at any moment.
bool SmtpServerModel::OnSaveClick() {
  const SmtpSettingEntries entered = Entries();
  SmtpSettingEntries checked = entered;
  Report report(*this, entered);
  const bool passed = CheckSmtpSettings(checked, report);
  // The boxes the checks corrected (the minutes).
  min_Select = checked.min_Select;
  if (!passed) return false;

  // A file that could not be written leaves the dialog open with the user's entries.
  Engine& engine = context_.engine();
  Settings saved = engine.settings;
  EnterSmtpServer(entered, saved);
  EnterSmtpNotice(entered, saved);
  if (!engine.store().SaveSMTPSettings(saved, context_.ui())) return false;
  EnterSmtpServer(entered, engine.settings);
  EnterSmtpNotice(entered, engine.settings);
  StartNotice(engine);
  savedInForce_.reset();
  Unload();
  return true;
}

void SmtpServerModel::RememberSaved() {
  if (!savedInForce_) savedInForce_ = context_.engine().settings;
}

void SmtpServerModel::OnCancelClick() {
  Unload();
  if (!savedInForce_) return;
  Engine& engine = context_.engine();
  const Settings& saved = *savedInForce_;
  Settings& s = engine.settings;
  s.Enable_SMTP = saved.Enable_SMTP;
  s.mailSvr = saved.mailSvr;
  s.SMTPport = saved.SMTPport;
  s.mailFrom = saved.mailFrom;
  s.MailUser = saved.MailUser;
  s.MailPass = saved.MailPass;
  s.alive_Email = saved.alive_Email;
  s.min_Select = saved.min_Select;
  s.mailTo1 = saved.mailTo1;
  savedInForce_.reset();
  StartNotice(engine);
}

std::string SmtpServerModel::Caption() const {
  std::string caption(kSmtpServerCaption);
  if (NotSaved()) caption += kNotSavedTail;
  return caption;
}

}  // namespace tarnwick
