// The Save of the alert settings dialog: the check table case by case. Every case also proves the
// two ways a Save ends: refused, the copied values are in force, no file is written and the
// dialog stays open; passed, setting.ini holds the record, the cycle countdown restarts with the
// new interval and the dialog is unloaded.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "dialog_fixture.h"

namespace tarnwick::testing {
namespace {

using Texts = std::vector<std::string>;

constexpr char kSoundMessage8To8[] = "Schedule to play alert sound from the hour 8 to 8 is invalid";
constexpr char kNumKillOver[] =
    "The # of times when it has top CPU or MEMORY occupied should less or equal the # of "
    "consecutive usage exceed threshold setting";
constexpr char kEmptyKillList[] = "Process name list is empty then it will No process be killed";

struct SaveCase {
  const char* name;
  // Edits the shown dialog, as the user would.
  std::function<void(AlertSettingModel&)> edit;
  std::vector<MessageAnswer> answers;
  Texts messages;
  bool saved;
  // Further effects of the case.
  std::function<void(const AlertSettingModel&, const Settings&)> check = nullptr;
};

void PrintTo(const SaveCase& c, std::ostream* os) {
  *os << c.name;
}

const SaveCase kCases[] = {
    {"AllValidSaves", [](AlertSettingModel&) {}, {}, {}, true},
    {"TwoEmptyBoxesShowTwoBoxesInTurnAndTheRestStillRun",
     [](AlertSettingModel& d) {
       d.TimeInterval = "";
       d.cpu_High = "";
       d.soundTo = "8";
     },
     {},
     {"Timeinterval value for monitoring can not be empty",
      "CPU warning threshold can not be empty", kSoundMessage8To8},
     false},
    {"EveryEmptyValueBoxIsReported",
     [](AlertSettingModel& d) { d.mem_High = d.num_High = d.host_Name = ""; },
     {},
     {"Memory warning threshold can not be empty",
      "# of Consecutive exceed threshold to send alert can not be empty",
      "Need input the Host / IP or description for alert message"},
     false},
    {"BlankHostNamePassesButIsStoredEmpty",
     [](AlertSettingModel& d) { d.host_Name = "   "; },
     {},
     {},
     true,
     [](const AlertSettingModel&, const Settings& s) { EXPECT_EQ(s.host_Name, ""); }},
    {"MissingPasswordStopsTheChecking",
     [](AlertSettingModel& d) {
       d.smsPassword = " ";
       d.smsEmail = "a@b";  // would fail check 9
       d.soundTo = "8";     // would fail check 11
     },
     {},
     {"[Alert enabled] need input [Email account] and [password]"},
     false},
    {"EmptyPhoneStopsTheChecking",
     [](AlertSettingModel& d) { d.smsPhone = "  "; },
     {},
     {"Need input mobile # in [SMS alert to] field \r\nIt is internation format with country "
      "code"},
     false},
    {"PhoneHintPassesCheck8",
     [](AlertSettingModel& d) { d.smsPhone = std::string(kPhoneHint); },
     {},
     {},
     true,
     [](const AlertSettingModel&, const Settings& s) { EXPECT_EQ(s.smsPhone, kPhoneHint); }},
    {"SixCharacterEmailFailsCheck9AndClearsCheck2",
     [](AlertSettingModel& d) { d.smsEmail = "a@b.cd"; },
     {},
     {"Login Email Address is invalid !!"},
     false,
     [](const AlertSettingModel& d, const Settings& s) {
       EXPECT_FALSE(d.Check2);
       EXPECT_FALSE(d.enabled.smsEmail);
       EXPECT_FALSE(d.enabled.SMS_Reset);
       EXPECT_FALSE(d.enabled.lblAccount);
       EXPECT_FALSE(d.schAlert);
       EXPECT_EQ(s.Enable_alert, 1);
     }},
    {"SixCharactersInSevenBytesAreStillSix",
     [](AlertSettingModel& d) { d.smsEmail = "\xC3\xBC@b.cd"; },
     {},
     {"Login Email Address is invalid !!"},
     false},
    {"SevenCharacterEmailPasses",
     [](AlertSettingModel& d) { d.smsEmail = "a@b.cde"; },
     {},
     {},
     true},
    {"MailListHintFailsCheck10WhileAlertsAreOn",
     [](AlertSettingModel& d) {
       d.Mail_List = std::string(kMailListHint);
       d.soundTo = "8";  // not reached
     },
     {},
     {"Make it empty or input correct email address on [Mail alert to] field !!"},
     false},
    {"MailListHintSavesUnchangedWithAlertsOff",
     [](AlertSettingModel& d) {
       d.Check2 = false;
       d.OnCheck2Click();
       d.Mail_List = std::string(kMailListHint);
     },
     {},
     {},
     true,
     [](const AlertSettingModel&, const Settings& s) {
       EXPECT_EQ(s.Mail_List, kMailListHint);
       EXPECT_EQ(s.Enable_alert, 0);
       EXPECT_EQ(s.schAlert, 0);
     }},
    {"SoundHours8To8AreRefused",
     [](AlertSettingModel& d) { d.soundTo = "8"; },
     {},
     {kSoundMessage8To8},
     false},
    {"SoundHours22To6AreRefusedAndTheAlertHoursNotChecked",
     [](AlertSettingModel& d) {
       d.soundFrom = "22";
       d.soundTo = "6";
       d.smsFrom = d.smsTo = "9";
     },
     {},
     {"Schedule to play alert sound from the hour 22 to 6 is invalid"},
     false},
    {"SoundHoursThatAreNoNumbersAreRefused",
     [](AlertSettingModel& d) { d.soundFrom = "eight"; },
     {},
     {"Schedule to play alert sound from the hour eight to 19 is invalid"},
     false},
    {"AlertHoursAreCheckedWithAlertsOff",
     [](AlertSettingModel& d) {
       d.Check2 = false;
       d.OnCheck2Click();
       d.smsFrom = " 20";
       d.smsTo = "7 ";
     },
     {},
     {"Schedule to send alert from the hour  20 to 7  is invalid"},
     false},
    {"NumKillOverNumHighIsRefusedWithKillOn",
     [](AlertSettingModel& d) {
       d.KillProc = true;
       d.num_Kill = "12";
     },
     {},
     {kNumKillOver},
     false,
     [](const AlertSettingModel& d, const Settings& s) {
       EXPECT_EQ(d.num_Kill, "10");
       EXPECT_EQ(s.num_Kill, "12");
     }},
    {"NumKillOverNumHighIsAcceptedWithKillOff",
     [](AlertSettingModel& d) { d.num_Kill = "12"; },
     {},
     {},
     true,
     [](const AlertSettingModel&, const Settings& s) { EXPECT_EQ(s.num_Kill, "12"); }},
    {"EmptyNumKillTakesNumHighAndIsReportedOnce",
     [](AlertSettingModel& d) {
       d.KillProc = true;
       d.num_Kill = "";
     },
     {},
     {"The # of times when it has top CPU or MEMORY occupied can not be empty when the kill "
      "process enabled"},
     false,
     [](const AlertSettingModel& d, const Settings&) { EXPECT_EQ(d.num_Kill, "10"); }},
    {"NumKillThatIsNoNumberIsRefused",
     [](AlertSettingModel& d) {
       d.KillProc = true;
       d.num_Kill = "ten";
     },
     {},
     {kNumKillOver},
     false},
    {"EmptyKillListAnsweredYesSaves",
     [](AlertSettingModel& d) {
       d.KillProc = true;
       d.OnKilloptClick();
       d.PnameList = "";
     },
     {MessageAnswer::Yes},
     {kEmptyKillList},
     true,
     [](const AlertSettingModel&, const Settings& s) {
       EXPECT_TRUE(s.Killopt);
       EXPECT_EQ(s.KillProc, 1);
     }},
    {"EmptyKillListAnsweredNoStaysOpen",
     [](AlertSettingModel& d) {
       d.KillProc = true;
       d.OnKilloptClick();
       d.PnameList = "";
     },
     {MessageAnswer::No},
     {kEmptyKillList},
     false},
};

class AlertSettingSaveTest : public DialogFixture,
                             public ::testing::WithParamInterface<SaveCase> {};

TEST_P(AlertSettingSaveTest, ChecksTellTheirMessagesAndSaveOnlyWhenAllPass) {
  const SaveCase& c = GetParam();
  Start();
  const std::string fileBefore = ReadFile(SettingPath());
  model->OnSetupClick();
  AlertSettingModel& dialog = model->alertSetting();
  // A new interval, so a passed Save shows in the countdown and a refused one in the record.
  dialog.TimeInterval = " 7 ";
  engine->cycleCountdown = 3;
  c.edit(dialog);
  ui.answers.assign(c.answers.begin(), c.answers.end());

  EXPECT_EQ(dialog.OnSaveClick(), c.saved);

  EXPECT_EQ(MessageTexts(), c.messages);
  for (const RecordedMessage& m : ui.messages) {
    EXPECT_EQ(m.title, "Tarnwick");
    EXPECT_EQ(m.buttons, m.text == kEmptyKillList ? MessageButtons::YesNo : MessageButtons::Ok);
  }
  const Settings& s = engine->settings;
  EXPECT_EQ(s.TimeInterval, TrimCopy(dialog.TimeInterval));
  if (c.saved) {
    EXPECT_EQ(dialog.state(), FormState::NotLoaded);
    EXPECT_EQ(ReadFile(SettingPath()), FormatSettingFile(s));
    EXPECT_EQ(engine->cycleCountdown, 7);
    EXPECT_EQ(model->lblTimeinterval.caption, "Monitor cycle on every 7 seconds");
  } else {
    EXPECT_EQ(dialog.state(), FormState::Shown);
    EXPECT_EQ(ReadFile(SettingPath()), fileBefore);
    EXPECT_EQ(engine->cycleCountdown, 3);
  }
  if (c.check) c.check(dialog, s);
}

INSTANTIATE_TEST_SUITE_P(CheckTable, AlertSettingSaveTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SaveCase>& p) { return p.param.name; });

TEST_F(DialogFixture, RefusedSaveLeavesEveryCopiedValueInForceForTheMonitor) {
  Start();
  model->OnSetupClick();
  AlertSettingModel& d = model->alertSetting();
  d.cpu_High = " 60 ";
  d.mem_High = "70";
  d.num_High = "4";
  d.host_Name = " DB02 ";
  d.Enable_log = false;
  d.smsPhone = " +4479 ";
  d.max_SMS.listIndex = 1;
  d.Check5 = false;
  d.filMusic = " /tmp/x.wav";
  d.PnameList = " java ";
  d.OnNoKilloptClick();
  d.soundTo = "8";  // refuses the Save

  EXPECT_FALSE(d.OnSaveClick());

  const Settings& s = engine->settings;
  EXPECT_EQ(s.cpu_High, "60");
  EXPECT_EQ(s.mem_High, "70");
  EXPECT_EQ(s.num_High, "4");
  EXPECT_EQ(s.host_Name, "DB02");
  EXPECT_EQ(s.Enable_log, 0);
  EXPECT_EQ(s.smsPhone, " +4479 ");
  EXPECT_EQ(s.max_SMS, "5");
  EXPECT_EQ(s.Enable_sound, 0);
  EXPECT_EQ(s.filMusic, " /tmp/x.wav");
  EXPECT_EQ(s.PnameList, "java");
  EXPECT_FALSE(s.Killopt);
  EXPECT_EQ(s.soundTo, "8");
  // The main window shows what is in force, and the dialog that it is not saved.
  EXPECT_EQ(model->lbl_Threshold[0].caption, "60%");
  EXPECT_EQ(d.Caption(), "Alert  Settings (not saved)");
}

}  // namespace
}  // namespace tarnwick::testing
