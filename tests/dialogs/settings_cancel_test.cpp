// Cancel after a refused Save: the refused entries were in force while the dialog stayed open (its
// caption said so); Cancel, Escape or closing the dialog puts the last saved settings back, as a
// restart would, and the main window shows them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialog_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr char kNotSavedCaption[] = "Alert  Settings (not saved)";

class SettingsCancelTest : public DialogFixture {
 protected:
  RecordingAlertSender sender;

  // The stored settings with two samples to an alert, so a test reaches one in a few cycles.
  void StartWithAlerts() {
    Settings stored = StoredSettings();
    stored.num_High = "2";
    Start(stored);
    engine->SetAlertSender(&sender);
    engine->session.loggedIn = true;
  }

  // Cycles at `cpuPercent` until an alert goes out; its text, or "" when none did.
  std::string AlertAt(int cpuPercent) {
    const size_t before = sender.sent.size();
    for (int i = 0; i < 4 && sender.sent.size() == before; ++i) Cycle(cpuPercent, 10);
    const std::string text = sender.sent.size() == before ? "" : sender.sent.back().message;
    Cycle(10, 10);  // back to normal, so the next run alerts afresh
    return text;
  }

  // What the admin typed: a threshold and host of their own, and sound hours 9 to 9,
  // which refuse the Save.
  static void EnterRefusedEntries(AlertSettingModel& d) {
    d.cpu_High = "50";
    d.host_Name = "UNSAVED-HOST";
    d.soundFrom = d.soundTo = "9";
  }
};

TEST_F(SettingsCancelTest, CancelAfterARefusedSaveSendsTheSavedHostAndThreshold) {
  StartWithAlerts();
  model->OnSetupClick();
  AlertSettingModel& d = model->alertSetting();
  EXPECT_EQ(d.Caption(), "Alert  Settings");
  EnterRefusedEntries(d);
  EXPECT_FALSE(d.OnSaveClick());

  // The refused entries are in force, and everything on the screen says so.
  EXPECT_EQ(d.Caption(), kNotSavedCaption);
  EXPECT_EQ(model->lbl_Threshold[0].caption, "50%");
  const std::string unsaved = AlertAt(60);
  EXPECT_NE(unsaved.find("UNSAVED-HOST CPU 60% exceed 50%"), std::string::npos) << unsaved;
  engine->settings.smsSentToday = 7;

  d.OnCancelClick();

  EXPECT_EQ(d.state(), FormState::NotLoaded);
  EXPECT_EQ(d.Caption(), "Alert  Settings");
  EXPECT_EQ(model->lbl_Threshold[0].caption, "80%");
  EXPECT_EQ(AlertAt(60), "") << "60% is under the saved threshold";
  const std::string saved = AlertAt(90);
  EXPECT_NE(saved.find("WEB01 CPU 90% exceed 80%"), std::string::npos) << saved;
  EXPECT_EQ(engine->settings.smsSentToday, 7) << "the day's count is no setting";
  model->OnSetupClick();
  EXPECT_EQ(d.host_Name, "WEB01");
  EXPECT_EQ(d.cpu_High, "80");
}

struct CancelCase {
  const char* name;
  // Edits and Save clicks on the shown dialog before its Cancel.
  std::function<void(AlertSettingModel&)> beforeCancel;
  std::string hostAfterCancel;
  std::string thresholdCaptionAfterCancel;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
  *os << c.name;
}

const CancelCase kCancelCases[] = {
    {"CancelWithoutASaveChangesNothing", [](AlertSettingModel& d) { d.host_Name = "TYPED-ONLY"; },
     "WEB01", "80%"},
    {"TwoRefusedSavesGoBackToTheSavedNotTheFirstRefused",
     [](AlertSettingModel& d) {
       d.host_Name = "FIRST";
       d.soundTo = "8";
       EXPECT_FALSE(d.OnSaveClick());
       d.host_Name = "SECOND";
       d.cpu_High = "40";
       EXPECT_FALSE(d.OnSaveClick());
     },
     "WEB01", "80%"},
    {"APassedSaveAfterARefusalIsTheNewSaved",
     [](AlertSettingModel& d) {
       d.host_Name = "FIXED";
       d.cpu_High = "70";
       d.soundTo = "8";
       EXPECT_FALSE(d.OnSaveClick());
       d.soundTo = "19";
       EXPECT_TRUE(d.OnSaveClick());
       EXPECT_EQ(d.Caption(), "Alert  Settings");
       d.Show();
       d.host_Name = "AFTER";
     },
     "FIXED", "70%"},
};

class AlertSettingCancelTest : public SettingsCancelTest,
                               public ::testing::WithParamInterface<CancelCase> {};

TEST_P(AlertSettingCancelTest, CancelLeavesTheLastSavedSettingsInForce) {
  const CancelCase& c = GetParam();
  Start();
  model->OnSetupClick();
  AlertSettingModel& d = model->alertSetting();
  c.beforeCancel(d);
  d.OnCancelClick();
  EXPECT_EQ(engine->settings.host_Name, c.hostAfterCancel);
  EXPECT_EQ(model->lbl_Threshold[0].caption, c.thresholdCaptionAfterCancel);
  EXPECT_EQ(ReadFile(SettingPath()), FormatSettingFile(engine->settings))
      << "what is in force is what a restart reads";
  EXPECT_FALSE(d.NotSaved());
}

INSTANTIATE_TEST_SUITE_P(Sequences, AlertSettingCancelTest, ::testing::ValuesIn(kCancelCases),
                         [](const ::testing::TestParamInfo<CancelCase>& p) {
                           return p.param.name;
                         });

TEST_F(SettingsCancelTest, SmtpCancelAfterARefusedSavePutsTheSavedServerAndNoticeBack) {
  const Settings stored = StoredSmtp();
  Start(StoredSettings(), &stored);
  model->OnSMTPsetupClick();
  SmtpServerModel& d = model->smtpServer();
  d.mailSvr = "smtp.unsaved.example";
  d.min_Select = "45";
  d.mailTo1 = "nobody";  // refuses the Save at the notice's recipient
  EXPECT_FALSE(d.OnSaveClick());
  EXPECT_EQ(d.Caption(), "SMTP server setting (not saved)");
  EXPECT_EQ(engine->settings.mailSvr, "smtp.unsaved.example");
  EXPECT_EQ(engine->settings.min_Select, "45");

  d.OnCancelClick();

  EXPECT_EQ(d.Caption(), "SMTP server setting");
  EXPECT_EQ(engine->settings.mailSvr, "mail.example.org");
  EXPECT_EQ(engine->settings.mailTo1, "admin@example.org");
  EXPECT_EQ(engine->settings.min_Select, "30");
  EXPECT_TRUE(model->Timer5.enabled);
  EXPECT_EQ(engine->aliveCountdown, 30);
}

}  // namespace
}  // namespace tarnwick::testing
