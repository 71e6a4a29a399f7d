// The dialog SMTPserver ("SMTP server setting") as a model: the second SMTP server, the "I am
// alive" notice, the provider presets and the test mail. The main window's SMTPsetup menu command
// and the alert dialog's SMTPset button show it, modeless.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "controls/dialog_controls.h"
#include "controls/form_controls.h"
#include "settings/settings.h"
#include "settings/smtp_settings_checker.h"

namespace tarnwick {

class Engine;
class FormContext;

// Command2's caption, and its caption while a test mail goes out.
inline constexpr std::string_view kSendTestMailCaption = "Send Test Mail";
inline constexpr std::string_view kTestingCaption = "Testing .....";

// The dialog's caption; while a refused Save's entries are in force it ends in kNotSavedTail.
inline constexpr std::string_view kSmtpServerCaption = "SMTP server setting";

// List positions of PublicSMTP.
inline constexpr int kYahooPreset = 0;
inline constexpr int kHotmailPreset = 1;
inline constexpr int kMySmtpPreset = 2;

// Enabled state of the controls that follow Check1; all others are always enabled.
struct SmtpServerEnabled {
  bool mailSvr = true;
  bool mailFrom = true;
  bool SMTPport = true;
  bool MailUser = true;
  bool MailPass = true;
  bool alive_Email = true;
  bool min_Select = true;
  bool mailTo1 = true;
};

class SmtpServerModel : public DialogForm {
 public:
  // The context outlives the dialog.
  explicit SmtpServerModel(FormContext& context) : context_(context) {}

  // Shown by the SMTPsetup menu command and the alert dialog's SMTPset button; a dialog already
  // loaded keeps what the user typed.

  // ---- Event handlers ----
  // The user chose a PublicSMTP item (list position): writes its preset into the boxes.
  void OnPublicSMTPClick(int listIndex);
  // The user ticked or cleared Check1 (the new value is already in Check1).
  void OnCheck1Click() { ApplyCheck1Rule(); }
  // The user changed MailUser's text (already in MailUser): the sender follows it.
  void OnMailUserChange() { mailFrom = MailUser; }
  // Sends a test mail with the boxes' texts, saved or not, without waiting for the server: the
  // button shows "Testing ....." and is disabled until the answer is in, then the outcome is
  // told. A click while one is on its way does nothing.
  void OnCommand2Click();
  // A test mail is on its way.
  bool TestMailSending() const { return testMailSending_; }
  // Checks the boxes; returns true when smtpsvr.ini was written: the entries are then in force
  // and the dialog unloaded. A check that refuses the Save puts the server fields (and, past the
  // server's checks, the notice switch, its recipient and minutes) in force, unsaved. A file that
  // cannot be written changes nothing in force at any moment.
  bool OnSaveClick();
  // Cancel, Escape and closing the dialog: a refused Save's entries leave force, and the
  // settings of the last passed Save (or of the start) are back, notice countdown included.
  void OnCancelClick();
  // A refused Save's entries are in force in place of the saved settings.
  bool NotSaved() const { return savedInForce_.has_value(); }
  // "SMTP server setting", with kNotSavedTail while NotSaved().
  std::string Caption() const;

  // ---- Controls ----
  FormGeometry geometry{0, 0, 520, 440};
  SmtpServerEnabled enabled;
  ComboBox PublicSMTP;
  std::string mailSvr, mailFrom, SMTPport, MailUser, MailPass;
  bool Check1 = false;  // Enable_SMTP
  Button Command2;
  bool alive_Email = false;
  std::string min_Select, mailTo1;

 private:
  class Report;
  SmtpSettingEntries Entries() const;
  static void StartNotice(Engine& engine);
  // Before a refusal puts entries in force: keeps the settings in force, once per refused run.
  void RememberSaved();

  void Load() override;
  void ApplyCheck1Rule();
  void Tell(std::string_view message);
  // Test mail steps 3 to 6, once the sender has passed its checks.
  void SendTestMail();
  // "Mail sent OK", or the error with the hint of the provider of `from` (the sender).
  void TellTestMailResult(const std::string& error, const std::string& from);

  FormContext& context_;
  bool testMailSending_ = false;
  // The settings in force just before the first refused Save since the last passed one.
  std::optional<Settings> savedInForce_;
  // An answer that arrives after the dialog's window is gone finds this expired and is dropped.
  std::shared_ptr<SmtpServerModel*> self_ = std::make_shared<SmtpServerModel*>(this);
};

}  // namespace tarnwick
