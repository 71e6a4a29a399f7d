// The alert settings dialog outside its Save: what the load step puts into the controls, the
// enabling rules, the clicks and pointer moves, and when the dialog loads afresh.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "forms/smtp_server_model.h"

namespace tarnwick::testing {
namespace {

class AlertSettingModelTest : public DialogFixture {
 protected:
  AlertSettingModel& Dialog() { return model->alertSetting(); }
};

TEST_F(AlertSettingModelTest, LoadFillsEveryControlFromTheSettings) {
  Settings stored = StoredSettings();
  stored.PnameList = "  java,notepad.exe ";
  stored.KillProc = 1;
  stored.Killopt = true;
  Start(stored);
  engine->settings.smsSentToday = 4;
  model->alertSetting().Unload();
  model->OnSetupClick();
  const AlertSettingModel& d = Dialog();

  EXPECT_EQ(d.state(), FormState::Shown);
  EXPECT_EQ(d.TimeInterval, "5");
  EXPECT_EQ(d.cpu_High, "80");
  EXPECT_EQ(d.mem_High, "90");
  EXPECT_EQ(d.num_High, "10");
  EXPECT_EQ(d.host_Name, "WEB01");
  EXPECT_TRUE(d.Enable_log);
  EXPECT_TRUE(d.KillProc);
  EXPECT_EQ(d.num_Kill, "10");
  EXPECT_TRUE(d.Killopt);
  EXPECT_FALSE(d.noKillopt);
  // The file's value is trimmed and lower-cased when read; the box trims it once more.
  EXPECT_EQ(d.PnameList, "java,notepad.exe");
  EXPECT_TRUE(d.Check5);
  EXPECT_EQ(d.filMusic, "/opt/sounds/alert.wav");
  EXPECT_TRUE(d.soundOn);
  EXPECT_EQ(d.soundFrom, "8");
  EXPECT_EQ(d.soundTo, "19");
  EXPECT_TRUE(d.Check2);
  EXPECT_EQ(d.smsEmail, "ops@example.org");
  EXPECT_EQ(d.smsPassword, "pw123");
  EXPECT_EQ(d.smsPhone, "+15550100");
  EXPECT_EQ(d.Mail_List, "boss@example.org");
  EXPECT_EQ(d.max_SMS.items, (std::vector<std::string>{"9999", "5", "10", "15", "20", "30", "40",
                                                       "50", "70", "80", "100"}));
  EXPECT_EQ(d.max_SMS.Text(), "20");
  EXPECT_EQ(d.SMS_Today, "Sent Today : 4");
  EXPECT_TRUE(d.schAlert);
  EXPECT_EQ(d.smsFrom, "8");
  EXPECT_EQ(d.smsTo, "19");
  EXPECT_TRUE(d.enabled.smsEmail);
  EXPECT_TRUE(d.enabled.num_Kill);
  EXPECT_EQ(d.pointer, Pointer::Default);
  // Centred on the 1920x1080 screen.
  EXPECT_EQ(d.geometry.left, (1920 - d.geometry.width) / 2);
  EXPECT_EQ(d.geometry.top, (1080 - d.geometry.height) / 2);
}

TEST_F(AlertSettingModelTest, StoredCapOutsideTheListOpensAsTopItemAndSavesIt) {
  Settings stored = StoredSettings();
  stored.max_SMS = "25";
  Start(stored);
  model->OnSetupClick();
  EXPECT_EQ(Dialog().max_SMS.Text(), "9999");
  ASSERT_TRUE(Dialog().OnSaveClick());
  EXPECT_EQ(engine->settings.max_SMS, "9999");
}

TEST_F(AlertSettingModelTest,
       OpeningWithAlertsOffDisablesTheAlertsGroupAndKillControlsFollowKillProc) {
  Settings stored = StoredSettings();
  stored.Enable_alert = 0;
  Start(stored);
  model->OnSetupClick();
  AlertSettingModel& d = Dialog();
  const AlertSettingEnabled& e = d.enabled;
  for (bool on : {e.lblAccount, e.lblPassword, e.lblSmsAlertTo, e.lblSeparateNote, e.lblCapSms,
                  e.lblMailAlertTo, e.lblAlertHours, e.lblAlertHoursTo, e.SMS_Reset, e.SMS_Today,
                  e.smsEmail, e.smsPassword, e.max_SMS, d.max_SMS.enabled, e.smsPhone, e.Mail_List,
                  e.schAlert, e.smsFrom, e.smsTo}) {
    EXPECT_FALSE(on);
  }
  // Clearing Check2 clears schAlert too, the stored 1 notwithstanding.
  EXPECT_FALSE(d.schAlert);
  // KillProc is off in the file, and the load step puts the kill controls in line with it.
  for (bool on : {e.num_Kill, e.Killopt, e.noKillopt, e.PnameList}) EXPECT_FALSE(on);

  d.Check2 = true;
  d.OnCheck2Click();
  EXPECT_TRUE(d.enabled.smsEmail);
  EXPECT_TRUE(d.enabled.lblAlertHoursTo);
  EXPECT_TRUE(d.max_SMS.enabled);
  EXPECT_FALSE(d.schAlert);

  for (bool tick : {true, false}) {
    d.KillProc = tick;
    d.OnKillProcClick();
    for (bool on : {e.num_Kill, e.Killopt, e.noKillopt, e.PnameList}) EXPECT_EQ(on, tick);
  }
  // The sound controls have no rule.
  EXPECT_TRUE(d.Check5);
}

TEST_F(AlertSettingModelTest, ShowingALoadedDialogKeepsItsContentsAndClosingReloadsIt) {
  Start();
  model->OnSetupClick();
  Dialog().cpu_High = "55";
  model->OnSetupClick();
  EXPECT_EQ(Dialog().cpu_High, "55");

  Dialog().OnCancelClick();
  EXPECT_EQ(Dialog().state(), FormState::NotLoaded);
  EXPECT_EQ(engine->settings.cpu_High, "80");
  model->OnSetupClick();
  EXPECT_EQ(Dialog().cpu_High, "80");
}

TEST_F(AlertSettingModelTest, HintsLiveOnlyInTheLoadedDialogAndThePhoneClickClearsThem) {
  // The first run puts the hints into the dialog it loads hidden.
  Build(DeskDeps{clock, ui, system, cpu, memory, processes, sound, files});
  model->OnLoad();
  AlertSettingModel& d = Dialog();
  ASSERT_EQ(d.smsPhone, kPhoneHint);
  ASSERT_EQ(d.Mail_List, kMailListHint);

  // The box takes clicks once alert sending is on.
  d.Check2 = true;
  d.OnCheck2Click();
  d.OnSmsPhoneClick();
  EXPECT_EQ(d.smsPhone, "");
  EXPECT_EQ(d.Mail_List, "");

  // A Mail_List hint stays while smsPhone holds a value.
  d.Mail_List = std::string(kMailListHint);
  d.smsPhone = "+15550100";
  d.OnSmsPhoneClick();
  EXPECT_EQ(d.Mail_List, kMailListHint);

  // A fresh load starts empty and takes the stored values.
  d.Unload();
  d.Show();
  EXPECT_EQ(d.smsPhone, "");
  EXPECT_EQ(d.Mail_List, "");
  EXPECT_EQ(d.TimeInterval, "5");
}

TEST_F(AlertSettingModelTest, ResetClickZeroesTheCountAtOnce) {
  Start();
  engine->settings.smsSentToday = 7;
  model->OnSetupClick();
  Dialog().OnSMS_ResetClick();
  EXPECT_EQ(engine->settings.smsSentToday, 0);
  EXPECT_EQ(Dialog().SMS_Today, "Sent Today : 0");
  Dialog().OnCancelClick();
  EXPECT_EQ(engine->settings.smsSentToday, 0);
}

// With alert sending off (Check2 clear) the count label and the phone box are disabled; a click
// on them must not reset the day's count (that would undo the daily cap) nor clear a hint.
TEST_F(AlertSettingModelTest, DisabledResetLabelAndPhoneBoxTakeNoClick) {
  Start();
  engine->settings.smsSentToday = 7;
  model->OnSetupClick();
  AlertSettingModel& d = Dialog();
  d.Check2 = false;
  d.OnCheck2Click();
  ASSERT_FALSE(d.enabled.SMS_Reset);
  ASSERT_FALSE(d.enabled.smsPhone);
  const std::string countCaption = d.SMS_Today;
  d.smsPhone = std::string(kPhoneHint);
  d.Mail_List = std::string(kMailListHint);

  d.OnSMS_ResetClick();
  d.OnSmsPhoneClick();

  EXPECT_EQ(engine->settings.smsSentToday, 7);
  EXPECT_EQ(d.SMS_Today, countCaption);
  EXPECT_EQ(d.smsPhone, kPhoneHint);
  EXPECT_EQ(d.Mail_List, kMailListHint);
}

TEST_F(AlertSettingModelTest, SelMusicPutsTheChosenWaveIntoTheBoxOnly) {
  Start();
  model->OnSetupClick();
  AlertSettingModel& d = Dialog();

  ui.pickResult = std::nullopt;
  d.OnSelMusicClick();
  EXPECT_EQ(d.filMusic, "/opt/sounds/alert.wav");
  ASSERT_EQ(ui.picks.size(), 1u);
  EXPECT_EQ(ui.picks[0].initialFolder, system.programFolder);
  EXPECT_EQ(ui.picks[0].filterDescription, "WAV Files(*.wav)");
  EXPECT_EQ(ui.picks[0].filterPattern, "*.wav");

  ui.pickResult = "/home/ops/siren.wav";
  d.OnSelMusicClick();
  EXPECT_EQ(d.filMusic, "/home/ops/siren.wav");
  EXPECT_EQ(engine->settings.filMusic, "/opt/sounds/alert.wav");
}

TEST_F(AlertSettingModelTest, SmtpSetShowsTheSmtpDialogAndTheOptionsExcludeEachOther) {
  Start();
  model->OnSetupClick();
  AlertSettingModel& d = Dialog();
  d.OnSMTPsetClick();
  EXPECT_EQ(model->smtpServer().state(), FormState::Shown);
  EXPECT_EQ(d.state(), FormState::Shown);

  d.OnKilloptClick();
  EXPECT_TRUE(d.Killopt);
  EXPECT_FALSE(d.noKillopt);
  d.OnNoKilloptClick();
  EXPECT_FALSE(d.Killopt);
  EXPECT_TRUE(d.noKillopt);
}

TEST_F(AlertSettingModelTest, PointerIsTheHandOverResetOnlyWithTheCursorFromTheProgramFolder) {
  Start();
  model->OnSetupClick();
  AlertSettingModel& d = Dialog();
  d.OnSMS_ResetMouseMove();
  EXPECT_EQ(d.pointer, Pointer::Hand);
  d.OnBackgroundMouseMove();
  EXPECT_EQ(d.pointer, Pointer::Default);
  EXPECT_EQ(d.HandCursorPath(), system.programFolder + "/Hand-m.cur");
}

}  // namespace
}  // namespace tarnwick::testing
