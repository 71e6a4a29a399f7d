// A settings file that cannot be written: the dialog shows the file and the system's reason,
// stays open with the user's entries, and nothing changes in force, not even while the box is
// open and the monitor runs on behind it.
#include <gtest/gtest.h>

#include <string>

#include "dialog_fixture.h"
#include "forms/smtp_server_model.h"

namespace tarnwick {
namespace {

using testing::ReadFile;

class SettingsSaveFailureTest : public testing::DialogFixture {};

TEST_F(SettingsSaveFailureTest, AlertSettingsStayOpenAndOutOfForce) {
  Start();
  testing::RecordingAlertSender sender;
  engine->SetAlertSender(&sender);
  engine->session.loggedIn = true;
  const std::string before = ReadFile(SettingPath());
  model->OnSetupClick();
  AlertSettingModel& d = model->alertSetting();
  // Unsaved, these would turn a sample of 60% into an alert by SMS to another phone.
  d.cpu_High = "55";
  d.num_High = "1";
  d.num_Kill = "1";
  d.smsPhone = "+19995550000";
  d.TimeInterval = "30";
  // The empty kill list is asked about first; the Yes does not put anything in force yet.
  d.KillProc = true;
  d.OnKilloptClick();
  d.PnameList.clear();
  ui.answers = {MessageAnswer::Yes};
  files.replaceFails[SettingPath()] = "Read-only file system";
  ui.onMessageBox = [&](const testing::RecordedMessage& box) {
    EXPECT_EQ(engine->settings.cpu_High, "80") << box.text;
    EXPECT_EQ(engine->settings.smsPhone, "+15550100") << box.text;
    EXPECT_EQ(engine->settings.KillProc, 0) << box.text;
    Cycle(60, 10);
  };

  EXPECT_FALSE(d.OnSaveClick());
  EXPECT_TRUE(sender.sent.empty()) << sender.sent.front().recipients;
  EXPECT_EQ(engine->cpuWatch.count, 0);
  ASSERT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(MessageTexts()[1], "The settings file " + SettingPath() +
                                   " could not be saved: Read-only file system\r\n"
                                   "Nothing was changed.");
  EXPECT_EQ(d.state(), FormState::Shown);
  EXPECT_EQ(d.cpu_High, "55");
  EXPECT_EQ(engine->settings.cpu_High, "80");
  EXPECT_EQ(engine->settings.TimeInterval, "5");
  EXPECT_EQ(model->lbl_Threshold[0].caption, "80%");
  EXPECT_EQ(ReadFile(SettingPath()), before);

  // Once the file can be written, the same entries go through.
  files.replaceFails.clear();
  ui.onMessageBox = nullptr;
  ui.answers = {MessageAnswer::Yes};
  EXPECT_TRUE(d.OnSaveClick());
  EXPECT_EQ(engine->settings.cpu_High, "55");
  EXPECT_EQ(model->lbl_Threshold[0].caption, "55%");
}

TEST_F(SettingsSaveFailureTest, SmtpSettingsStayOpenAndOutOfForce) {
  const Settings stored = testing::StoredSmtp();
  Start(testing::StoredSettings(), &stored);
  model->OnSMTPsetupClick();
  SmtpServerModel& d = model->smtpServer();
  const int16_t countdown = engine->aliveCountdown;
  d.mailSvr = "smtp.other.example";
  d.min_Select = "7";
  d.alive_Email = false;
  files.replaceFails[SmtpPath()] = "No space left on device";
  Settings inForce;
  bool timerInForce = false;
  int16_t countdownInForce = 0;
  ui.onMessageBox = [&](const testing::RecordedMessage&) {
    inForce = engine->settings;
    timerInForce = model->Timer5.enabled;
    countdownInForce = engine->aliveCountdown;
  };

  EXPECT_FALSE(d.OnSaveClick());
  EXPECT_EQ(inForce.mailSvr, "mail.example.org");
  EXPECT_EQ(inForce.alive_Email, 1);
  EXPECT_TRUE(timerInForce);
  EXPECT_EQ(countdownInForce, countdown);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].text.find(SmtpPath() + " could not be saved: No space left on device"),
            std::string::npos);
  EXPECT_EQ(d.state(), FormState::Shown);
  EXPECT_EQ(d.mailSvr, "smtp.other.example");
  EXPECT_EQ(engine->settings.mailSvr, "mail.example.org");
  EXPECT_EQ(engine->settings.min_Select, "30");
  EXPECT_EQ(engine->settings.alive_Email, 1);
  EXPECT_TRUE(model->Timer5.enabled);
  EXPECT_EQ(engine->aliveCountdown, countdown);
}

// An smtpsvr.ini that could not be read at start is not replaced by an unedited Save.
TEST_F(SettingsSaveFailureTest, UnreadableSmtpFileIsLoggedAndReplacedOnlyAfterAYes) {
  const Settings stored = testing::StoredSmtp();
  files.unreadable[SmtpPath()] = "Permission denied";
  Start(testing::StoredSettings(), &stored);
  const std::string before = ReadFile(SmtpPath());
  EXPECT_EQ(engine->settings.Enable_SMTP, 0);
  EXPECT_FALSE(model->Timer5.enabled);
  bool logged = false;
  for (const std::string& line : engine->log().PaneLines()) {
    logged = logged || line.ends_with("Cannot read settings file " + SmtpPath() +
                                      ": Permission denied; its features stay off");
  }
  EXPECT_TRUE(logged);

  model->OnSMTPsetupClick();
  SmtpServerModel& d = model->smtpServer();
  d.Check1 = false;
  d.alive_Email = false;
  EXPECT_FALSE(d.OnSaveClick());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(ReadFile(SmtpPath()), before);

  ui.answers = {MessageAnswer::Yes};
  EXPECT_TRUE(d.OnSaveClick());
  EXPECT_NE(ReadFile(SmtpPath()), before);
}

}  // namespace
}  // namespace tarnwick
