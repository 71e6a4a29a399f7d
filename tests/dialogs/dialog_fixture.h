// A main window model on fake services with stored settings files, for the settings dialogs'
// tests: alerts on with a valid account, the kill rule off, sound and alert windows 8 to 19, and
// (when the case stores one) a second SMTP server.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "forms/main_window_model.h"
#include "platform/smtp_client.h"
#include "settings/settings_store.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {

// An SMTP client that keeps every mail and holds its answer until the test gives it: Answer
// delivers `error` for the oldest mail still waiting, as the UI thread would hear of it.
class RecordingSmtpClient final : public IAsyncSmtpClient {
 public:
  std::vector<SmtpMail> sent;
  std::string error;
  void SendHtmlMailAsync(const SmtpMail& mail, SmtpSent done) override {
    sent.push_back(mail);
    waiting_.push_back(std::move(done));
  }
  size_t Waiting() const { return waiting_.size(); }
  void Answer() {
    ASSERT_FALSE(waiting_.empty());
    SmtpSent done = std::move(waiting_.front());
    waiting_.erase(waiting_.begin());
    done(error);
  }

 private:
  std::vector<SmtpSent> waiting_;
};

inline Settings StoredSettings() {
  Settings s;
  s.TimeInterval = "5";
  s.cpu_High = "80";
  s.mem_High = "90";
  s.num_High = "10";
  s.host_Name = "WEB01";
  s.Enable_log = 1;
  s.KillProc = 0;
  s.num_Kill = "10";
  s.Killopt = false;
  s.PnameList = "notepad.exe";
  s.Enable_sound = 1;
  s.filMusic = "/opt/sounds/alert.wav";
  s.soundOn = 1;
  s.soundFrom = "8";
  s.soundTo = "19";
  s.Enable_alert = 1;
  s.smsEmail = "ops@example.org";
  s.smsPassword = "pw123";
  s.smsPhone = "+15550100";
  s.Mail_List = "boss@example.org";
  s.max_SMS = "20";
  s.schAlert = 1;
  s.smsFrom = "8";
  s.smsTo = "19";
  return s;
}

inline Settings StoredSmtp() {
  Settings s;
  s.Enable_SMTP = 1;
  s.mailSvr = "mail.example.org";
  s.SMTPport = "587";
  s.mailFrom = "monitor@example.org";
  s.MailUser = "monitor";
  s.MailPass = "smtp-pw";
  s.alive_Email = 1;
  s.min_Select = "30";
  s.mailTo1 = "admin@example.org";
  return s;
}

class DialogFixture : public ModelFixture {
 protected:
  RecordingSmtpClient smtp;

  std::string SettingPath() const { return system.programFolder + "/setting.ini"; }
  std::string SmtpPath() const { return system.programFolder + "/smtpsvr.ini"; }

  // Stores the files (no smtpsvr.ini unless given) and loads the window on them.
  void Start(const Settings& stored = StoredSettings(), const Settings* smtp_stored = nullptr) {
    WriteFile(SettingPath(), FormatSettingFile(stored));
    if (smtp_stored != nullptr) WriteFile(SmtpPath(), FormatSmtpFile(*smtp_stored));
    Rebuild([this](DeskDeps& deps) { deps.smtpClient = &smtp; });
    model->OnLoad();
    ui.messages.clear();
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const RecordedMessage& m : ui.messages) texts.push_back(m.text);
    return texts;
  }
};

}  // namespace tarnwick::testing
