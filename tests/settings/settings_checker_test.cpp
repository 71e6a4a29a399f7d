// The checks of the three settings Saves: their order and grouping, the number ranges at their
// edges, the corrections made to the entries, and what the entries become in the settings.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "settings/alert_settings_checker.h"
#include "settings/program_settings_checker.h"
#include "settings/smtp_settings_checker.h"
#include "settings_test_support.h"

namespace tarnwick {
namespace {

using Said = std::vector<std::string>;

// Records each refusal as "setting: message" and each question as "setting? message"; answers
// the questions from `answers`, in turn.
class RecordingReport : public ISettingCheckReport {
 public:
  void Refuse(std::string_view setting, const std::string& message) override {
    said.push_back(std::string(setting) + ": " + message);
  }
  bool Ask(std::string_view setting, const std::string& message) override {
    said.push_back(std::string(setting) + "? " + message);
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << message;
      return false;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }

  Said said;
  std::deque<bool> answers;
};

// ---- setting.ini ----

const std::string kTimeEmpty = "TimeInterval: Timeinterval value for monitoring can not be empty";
const std::string kTimeRange =
    "TimeInterval: Timeinterval value for monitoring must be a whole number from 0 to 32767";
const std::string kCpuEmpty = "cpu_High: CPU warning threshold can not be empty";
const std::string kCpuRange =
    "cpu_High: CPU warning threshold must be a whole number from 1 to 100";
const std::string kMemEmpty = "mem_High: Memory warning threshold can not be empty";
const std::string kMemRange =
    "mem_High: Memory warning threshold must be a whole number from 1 to 100";
const std::string kNumHighRange =
    "num_High: # of Consecutive exceed threshold to send alert must be a whole number from 1 to "
    "32767";
const std::string kHostEmpty =
    "host_Name: Need input the Host / IP or description for alert message";
const std::string kKillEmpty =
    "num_Kill: The # of times when it has top CPU or MEMORY occupied can not be empty when the "
    "kill process enabled";
const std::string kKillRange =
    "num_Kill: The # of times when it has top CPU or MEMORY occupied must be a whole number from 1 "
    "to 32767";
const std::string kKillOver =
    "num_Kill: The # of times when it has top CPU or MEMORY occupied should less or equal the # of "
    "consecutive usage exceed threshold setting";
const std::string kKillListQuestion =
    "PnameList? Process name list is empty then it will No process be killed";
const std::string kAccountEmail =
    "smsEmail: [Alert enabled] need input [Email account] and [password]";
const std::string kAccountPassword =
    "smsPassword: [Alert enabled] need input [Email account] and [password]";
const std::string kPhone =
    "smsPhone: Need input mobile # in [SMS alert to] field \r\nIt is internation format with "
    "country code";
const std::string kLoginInvalid = "smsEmail: Login Email Address is invalid !!";
const std::string kMailList =
    "Mail_List: Make it empty or input correct email address on [Mail alert to] field !!";

std::string SoundHours(const std::string& from, const std::string& to) {
  return "soundFrom: Schedule to play alert sound from the hour " + from + " to " + to +
         " is invalid";
}
std::string AlertHours(const std::string& from, const std::string& to) {
  return "smsFrom: Schedule to send alert from the hour " + from + " to " + to + " is invalid";
}

// Entries that pass every check, with the kill rule and alert sending switched off.
AlertSettingEntries PassingAlertEntries() {
  AlertSettingEntries e;
  e.TimeInterval = "5";
  e.cpu_High = e.mem_High = "85";
  e.num_High = e.num_Kill = "10";
  e.host_Name = "web-01";
  e.PnameList = "notepad.exe";
  e.soundFrom = e.smsFrom = "8";
  e.soundTo = e.smsTo = "19";
  e.smsEmail = "ops@example.com";
  e.smsPassword = "pw";
  e.smsPhone = "+1 5550100";
  return e;
}

struct AlertCase {
  std::string name;
  std::function<void(AlertSettingEntries&)> enter;
  Said said;
};

void ExpectAlertChecks(const AlertCase& c) {
  SCOPED_TRACE(c.name);
  AlertSettingEntries e = PassingAlertEntries();
  c.enter(e);
  RecordingReport report;
  EXPECT_EQ(CheckAlertSettings(e, report), c.said.empty());
  EXPECT_EQ(report.said, c.said);
}

TEST(AlertSettingsCheckerTest, NumberBoxesAreRefusedOutsideTheirRange) {
  using E = AlertSettingEntries;
  const struct {
    std::string E::*box;
    std::string text;
    std::string refusal;  // empty when the text passes
  } cases[] = {
      {&E::TimeInterval, "0", ""},
      {&E::TimeInterval, "32767", ""},
      {&E::TimeInterval, "32768", kTimeRange},
      {&E::TimeInterval, "-1", kTimeRange},
      {&E::TimeInterval, "", kTimeEmpty},
      {&E::cpu_High, "0", kCpuRange},
      {&E::cpu_High, "1", ""},
      {&E::cpu_High, "100", ""},
      {&E::cpu_High, "101", kCpuRange},
      {&E::cpu_High, "9o", kCpuRange},
      {&E::cpu_High, "abc", kCpuRange},
      {&E::cpu_High, "-5", kCpuRange},
      {&E::cpu_High, " 85 ", ""},
      {&E::cpu_High, "85.0", ""},
      {&E::cpu_High, "85.5", kCpuRange},
      {&E::cpu_High, "   ", kCpuRange},
      {&E::cpu_High, "", kCpuEmpty},
      {&E::mem_High, "0", kMemRange},
      {&E::mem_High, "100", ""},
      {&E::mem_High, "101", kMemRange},
      {&E::mem_High, "85.5", kMemRange},
      {&E::mem_High, "", kMemEmpty},
      {&E::num_High, "0", kNumHighRange},
      {&E::num_High, "1", ""},
      {&E::num_High, "32767", ""},
      {&E::num_High, "32768", kNumHighRange},
      {&E::num_High, "   ", kNumHighRange},
  };
  for (const auto& c : cases) {
    ExpectAlertChecks({"\"" + c.text + "\"", [&c](E& e) { e.*c.box = c.text; },
                       c.refusal.empty() ? Said{} : Said{c.refusal}});
  }
}

TEST(AlertSettingsCheckerTest, ChecksRunInTheirGroups) {
  const AlertCase cases[] = {
      {"value failures are all reported, then the hour windows",
       [](AlertSettingEntries& e) {
         e.TimeInterval = e.mem_High = e.host_Name = "";
         e.cpu_High = "abc";
         e.soundFrom = "20";
       },
       {kTimeEmpty, kCpuRange, kMemEmpty, kHostEmpty, SoundHours("20", "19")}},
      {"a bad sound window skips the alert window",
       [](AlertSettingEntries& e) {
         e.soundTo = "x";
         e.smsTo = "x";
       },
       {SoundHours("8", "x")}},
      {"an alert sending failure ends the checking after the value checks",
       [](AlertSettingEntries& e) {
         e.cpu_High = "";
         e.Enable_alert = true;
         e.smsPhone = "";
         e.soundTo = "x";
       },
       {kCpuEmpty, kPhone}},
      {"the alert window is checked with alert sending off",
       [](AlertSettingEntries& e) { e.smsFrom = "20"; },
       {AlertHours("20", "19")}},
  };
  for (const AlertCase& c : cases) ExpectAlertChecks(c);
}

TEST(AlertSettingsCheckerTest, KillCountIsCheckedAndCorrected) {
  const struct {
    bool killProc;
    std::string numHigh, numKill;
    Said said;
    std::string numKillAfter;
  } cases[] = {
      {true, "10", "1", {}, "1"},
      {true, "10", "10", {}, "10"},
      {true, "10", "11", {kKillOver}, "10"},
      {true, "10", "x", {kKillOver}, "10"},
      {true, "10", "   ", {kKillOver}, "10"},
      {true, "10", "", {kKillEmpty}, "10"},
      {true, "10", "0", {kKillRange}, "10"},
      {true, "10", "-3", {kKillRange}, "10"},
      {true, "10", "0.5", {kKillRange}, "10"},
      // The comparison runs on the corrected entry.
      {true,
       "",
       "0",
       {"num_High: # of Consecutive exceed threshold to send alert can not be empty", kKillRange,
        kKillOver},
       ""},
      {true, "abc", "", {kNumHighRange, kKillEmpty, kKillOver}, "abc"},
      {false, "10", "0", {}, "0"},
      {false, "10", "", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.numHigh + " / " + c.numKill);
    AlertSettingEntries e = PassingAlertEntries();
    e.KillProc = c.killProc;
    e.num_High = c.numHigh;
    e.num_Kill = c.numKill;
    RecordingReport report;
    EXPECT_EQ(CheckAlertSettings(e, report), c.said.empty());
    EXPECT_EQ(report.said, c.said);
    EXPECT_EQ(e.num_Kill, c.numKillAfter);
  }
}

TEST(AlertSettingsCheckerTest, EmptyKillListAsksAndOnlyYesGoesOn) {
  const struct {
    bool killopt;
    std::string list, numKill;
    std::deque<bool> answers;
    Said said;
    bool passes;
  } cases[] = {
      {true, "", "10", {true}, {kKillListQuestion}, true},
      {true, "", "10", {false}, {kKillListQuestion}, false},
      {true, "", "0", {true}, {kKillRange, kKillListQuestion}, false},
      {true, "  ", "10", {}, {}, true},
      {false, "", "10", {}, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.list + "\", num_Kill " + c.numKill);
    AlertSettingEntries e = PassingAlertEntries();
    e.KillProc = true;
    e.Killopt = c.killopt;
    e.PnameList = c.list;
    e.num_Kill = c.numKill;
    RecordingReport report;
    report.answers = c.answers;
    EXPECT_EQ(CheckAlertSettings(e, report), c.passes);
    EXPECT_EQ(report.said, c.said);
    EXPECT_TRUE(report.answers.empty());
  }
}

// An empty CPU box and a bad sound window around each case show that the value checks come
// first and that an alert sending failure ends the checking.
TEST(AlertSettingsCheckerTest, AlertSendingNeedsAnAccountAPhoneAndAddresses) {
  using E = AlertSettingEntries;
  const struct {
    std::string name;
    std::function<void(E&)> enter;
    std::string refusal;  // empty when alert sending passes
    bool enabledAfter;
  } cases[] = {
      {"no account", [](E& e) { e.smsEmail = e.smsPassword = ""; }, kAccountEmail, true},
      {"blank address", [](E& e) { e.smsEmail = "  "; }, kAccountEmail, true},
      {"no password", [](E& e) { e.smsPassword = " "; }, kAccountPassword, true},
      {"no phone", [](E& e) { e.smsPhone = "  "; }, kPhone, true},
      {"short address", [](E& e) { e.smsEmail = "a@b.cc"; }, kLoginInvalid, false},
      {"bad mail list", [](E& e) { e.Mail_List = "ops"; }, kMailList, true},
      {"blank mail list", [](E& e) { e.Mail_List = "  "; }, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    E e = PassingAlertEntries();
    e.Enable_alert = true;
    e.cpu_High = "";
    e.soundTo = "x";
    c.enter(e);
    RecordingReport report;
    EXPECT_FALSE(CheckAlertSettings(e, report));
    EXPECT_EQ(report.said, (Said{kCpuEmpty, c.refusal.empty() ? SoundHours("8", "x") : c.refusal}));
    EXPECT_EQ(e.Enable_alert, c.enabledAfter);
  }
}

TEST(AlertSettingsCheckerTest, HourWindowsHoldTwoHoursOfTheDayInOrder) {
  const struct {
    std::string from, to;
    bool valid;
  } cases[] = {
      {"8", "19", true},    {"0", "23", true}, {" 8 ", "19", true}, {"8.0", "19", true},
      {"19", "8", false},   {"8", "8", false}, {"0", "24", false},  {"-1", "5", false},
      {"8.5", "19", false}, {"", "19", false}, {"x", "9", false},
  };
  for (const auto& c : cases) {
    ExpectAlertChecks({"sound " + c.from + "-" + c.to,
                       [&c](AlertSettingEntries& e) {
                         e.soundFrom = c.from;
                         e.soundTo = c.to;
                       },
                       c.valid ? Said{} : Said{SoundHours(c.from, c.to)}});
    ExpectAlertChecks({"alert " + c.from + "-" + c.to,
                       [&c](AlertSettingEntries& e) {
                         e.smsFrom = c.from;
                         e.smsTo = c.to;
                       },
                       c.valid ? Said{} : Said{AlertHours(c.from, c.to)}});
  }
}

TEST(AlertSettingsCheckerTest, EnterTrimsNumbersHoursAndListsOnly) {
  AlertSettingEntries e;
  e.TimeInterval = " 5 ";
  e.cpu_High = " 85";
  e.mem_High = "70 ";
  e.num_High = " 4 ";
  e.host_Name = "  web-01 (rack 3)  ";
  e.KillProc = true;
  e.num_Kill = " 3 ";
  e.PnameList = " notepad.exe ";
  e.filMusic = " /opt/a b.wav ";
  e.soundOn = true;
  e.soundFrom = " 7";
  e.soundTo = "22 ";
  e.smsEmail = " ops@example.com ";
  e.smsPassword = " s3cret ";
  e.smsPhone = " +1 5550100 ";
  e.Mail_List = " a@example.com ";
  e.max_SMS = "30";
  e.smsFrom = " 8";
  e.smsTo = "19 ";

  // Every switch is set in the record before, and all but two are cleared.
  Settings s = testing::FilledSettings();
  s.smsSentToday = 3;
  Settings expected = s;
  expected.TimeInterval = "5";
  expected.cpu_High = "85";
  expected.mem_High = "70";
  expected.num_High = "4";
  expected.host_Name = "web-01 (rack 3)";
  expected.Enable_log = 0;
  expected.KillProc = 1;
  expected.num_Kill = "3";
  expected.Killopt = false;
  expected.PnameList = "notepad.exe";
  expected.Enable_sound = 0;
  expected.filMusic = " /opt/a b.wav ";
  expected.soundOn = 1;
  expected.soundFrom = "7";
  expected.soundTo = "22";
  expected.Enable_alert = 0;
  expected.smsEmail = " ops@example.com ";
  expected.smsPassword = " s3cret ";
  expected.smsPhone = " +1 5550100 ";
  expected.Mail_List = "a@example.com";
  expected.max_SMS = "30";
  expected.schAlert = 0;
  expected.smsFrom = "8";
  expected.smsTo = "19";

  EnterAlertSettings(e, s);
  EXPECT_EQ(testing::Describe(s), testing::Describe(expected));
  EXPECT_EQ(s.smsSentToday, 3);
}

// ---- smtpsvr.ini ----

const std::string kServerEmpty = ": SMTP server,Mail from,Username and Password can not be empty";
const std::string kUneditedPreset = ": Need input the valid Mail from and username information";
const std::string kPortRange = "SMTPport: SMTP port number must be a whole number from 1 to 65535";
const std::string kNoticeRecipient =
    "mailTo1: Need input valid email on [Mail to] field for [I am alive notice] !!";
const std::string kMinutes = "min_Select: Send mail for I am alive notice need >= 1 minutes";

SmtpSettingEntries PassingSmtpEntries() {
  SmtpSettingEntries e;
  e.Enable_SMTP = true;
  e.mailSvr = "smtp.example.com";
  e.SMTPport = "587";
  e.mailFrom = "tarnwick@example.com";
  e.MailUser = "tarnwick";
  e.MailPass = "pw";
  e.alive_Email = true;
  e.min_Select = "60";
  e.mailTo1 = "admin@example.com";
  return e;
}

TEST(SmtpSettingsCheckerTest, FirstFailureEndsTheChecking) {
  using E = SmtpSettingEntries;
  const struct {
    std::string name;
    std::function<void(E&)> enter;
    std::string refusal;  // empty when the Save passes
    std::string minutesAfter;
  } cases[] = {
      {"passing", [](E&) {}, "", "60"},
      {"empty minutes stand for 5", [](E& e) { e.min_Select = ""; }, "", "5"},
      {"first empty server field", [](E& e) { e.mailSvr = e.MailPass = e.min_Select = ""; },
       "mailSvr" + kServerEmpty, ""},
      {"empty sender", [](E& e) { e.mailFrom = ""; }, "mailFrom" + kServerEmpty, "60"},
      {"empty user", [](E& e) { e.MailUser = ""; }, "MailUser" + kServerEmpty, "60"},
      {"empty before preset",
       [](E& e) {
         e.mailFrom = "xxxxx@yahoo.com";
         e.MailPass = "";
       },
       "MailPass" + kServerEmpty, "60"},
      {"preset user", [](E& e) { e.MailUser = "xxxxx@yahoo.com"; }, "MailUser" + kUneditedPreset,
       "60"},
      {"preset sender and user", [](E& e) { e.mailFrom = e.MailUser = "xxxxx@hotmail.com"; },
       "mailFrom" + kUneditedPreset, "60"},
      {"bad port before the notice",
       [](E& e) {
         e.SMTPport = "x";
         e.mailTo1 = e.min_Select = "";
       },
       kPortRange, ""},
      {"server off skips its checks",
       [](E& e) {
         e.Enable_SMTP = false;
         e.mailSvr = e.MailPass = e.SMTPport = "";
       },
       "", "60"},
      {"server off, yet a port typed in must be one",
       [](E& e) {
         e.Enable_SMTP = false;
         e.mailSvr = e.MailPass = "";
         e.SMTPport = "notaport";
       },
       kPortRange, "60"},
      {"notice checked with the server off",
       [](E& e) {
         e.Enable_SMTP = false;
         e.mailTo1 = "ops";
       },
       kNoticeRecipient, "60"},
      // Blanks do not make a short address long enough.
      {"recipient trimmed", [](E& e) { e.mailTo1 = "  a@b.c  "; }, kNoticeRecipient, "60"},
      {"no recipient needed with the notice off",
       [](E& e) {
         e.alive_Email = false;
         e.mailTo1 = "";
       },
       "", "60"},
      {"recipient before minutes",
       [](E& e) {
         e.mailTo1 = "ops";
         e.min_Select = "0";
       },
       kNoticeRecipient, "0"},
      {"no minutes", [](E& e) { e.min_Select = "0"; }, kMinutes, "1"},
      {"negative minutes", [](E& e) { e.min_Select = "-2"; }, kMinutes, "1"},
      {"letters for minutes", [](E& e) { e.min_Select = "abc"; }, kMinutes, "1"},
      {"one minute, blanks around", [](E& e) { e.min_Select = " 1 "; }, "", " 1 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    E e = PassingSmtpEntries();
    c.enter(e);
    RecordingReport report;
    EXPECT_EQ(CheckSmtpSettings(e, report), c.refusal.empty());
    EXPECT_EQ(report.said, c.refusal.empty() ? Said{} : Said{c.refusal});
    EXPECT_EQ(e.min_Select, c.minutesAfter);
  }
}

TEST(SmtpSettingsCheckerTest, PortIsAWholeNumberFrom1To65535) {
  const struct {
    std::string port;
    bool valid;
  } cases[] = {
      {"0", false},   {"1", true},    {"65535", true}, {"65536", false},
      {" 25 ", true}, {"25.0", true}, {"25.5", false}, {"9o", false},
      {"abc", false}, {"-5", false},  {"", false},     {"   ", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.port + "\"");
    SmtpSettingEntries e = PassingSmtpEntries();
    e.SMTPport = c.port;
    RecordingReport report;
    EXPECT_EQ(CheckSmtpSettings(e, report), c.valid);
    EXPECT_EQ(report.said, c.valid ? Said{} : Said{kPortRange});
  }
}

TEST(SmtpSettingsCheckerTest, StageOfARefusedSetting) {
  for (const char* server : {"mailSvr", "SMTPport", "mailFrom", "MailUser", "MailPass"}) {
    EXPECT_EQ(StageOf(server), SmtpCheckStage::Server) << server;
  }
  for (const char* notice : {"alive_Email", "mailTo1", "min_Select"}) {
    EXPECT_EQ(StageOf(notice), SmtpCheckStage::Notice) << notice;
  }
}

TEST(SmtpSettingsCheckerTest, EnterServerAsTypedAndNoticeTrimmed) {
  SmtpSettingEntries e;
  e.mailSvr = " smtp.example.com ";
  e.SMTPport = " 25 ";
  e.mailFrom = " me@example.com ";
  e.MailUser = " me ";
  e.MailPass = " pa ss ";
  e.mailTo1 = " admin@example.com ";

  Settings s = testing::FilledSettings();
  Settings expected = s;
  expected.Enable_SMTP = 0;
  expected.mailSvr = e.mailSvr;
  expected.SMTPport = e.SMTPport;
  expected.mailFrom = e.mailFrom;
  expected.MailUser = e.MailUser;
  expected.MailPass = e.MailPass;
  EnterSmtpServer(e, s);
  EXPECT_EQ(testing::Describe(s), testing::Describe(expected));

  expected.alive_Email = 0;
  expected.mailTo1 = "admin@example.com";
  for (const auto& [minutes, stored] :
       {std::pair<std::string, std::string>{"", "5"}, {" 7 ", "7"}}) {
    e.min_Select = minutes;
    expected.min_Select = stored;
    EnterSmtpNotice(e, s);
    EXPECT_EQ(testing::Describe(s), testing::Describe(expected)) << "\"" << minutes << "\"";
  }
}

// ---- pgmsetting.ini ----

const std::string kPgmCpu =
    "pgmCPUsetF: The program's CPU warning threshold must be a whole number from 1 to 100";
const std::string kPgmMem =
    "pgmMEMsetF: The program's memory warning threshold must be a number above 0 and at most 100";
const std::string kPgmAlert =
    "pgmAlertSetF: The program's # of consecutive usage exceed threshold to trigger alert sending "
    "must be a whole number from 1 to 32767";

ProgramSettingEntries PassingProgramEntries() {
  ProgramSettingEntries e;
  e.pgmNameF = "firefox";
  e.pgmCPUsetF = e.pgmMEMsetF = "60";
  e.pgmAlertSetF = "5";
  return e;
}

TEST(ProgramSettingsCheckerTest, NumberBoxesAreRefusedOutsideTheirRange) {
  using E = ProgramSettingEntries;
  const struct {
    std::string E::*box;
    std::string text;
    std::string refusal;  // empty when the text passes
  } cases[] = {
      {&E::pgmCPUsetF, "0", kPgmCpu},       {&E::pgmCPUsetF, "1", ""},
      {&E::pgmCPUsetF, "100", ""},          {&E::pgmCPUsetF, "101", kPgmCpu},
      {&E::pgmCPUsetF, "9o", kPgmCpu},      {&E::pgmCPUsetF, "abc", kPgmCpu},
      {&E::pgmCPUsetF, "-5", kPgmCpu},      {&E::pgmCPUsetF, " 85 ", ""},
      {&E::pgmCPUsetF, "85.0", ""},         {&E::pgmCPUsetF, "85,0", ""},
      {&E::pgmCPUsetF, "85.5", kPgmCpu},    {&E::pgmCPUsetF, "   ", kPgmCpu},
      {&E::pgmCPUsetF, "", kPgmCpu},        {&E::pgmMEMsetF, "0", kPgmMem},
      {&E::pgmMEMsetF, "0.1", ""},          {&E::pgmMEMsetF, "100", ""},
      {&E::pgmMEMsetF, "100.01", kPgmMem},  {&E::pgmMEMsetF, "12,5", ""},
      {&E::pgmMEMsetF, " 85 ", ""},         {&E::pgmMEMsetF, "-5", kPgmMem},
      {&E::pgmMEMsetF, "abc", kPgmMem},     {&E::pgmMEMsetF, "", kPgmMem},
      {&E::pgmAlertSetF, "0", kPgmAlert},   {&E::pgmAlertSetF, "1", ""},
      {&E::pgmAlertSetF, "32767", ""},      {&E::pgmAlertSetF, "32768", kPgmAlert},
      {&E::pgmAlertSetF, "2.5", kPgmAlert},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    E e = PassingProgramEntries();
    e.*c.box = c.text;
    RecordingReport report;
    EXPECT_EQ(CheckProgramSettings(e, report), c.refusal.empty());
    EXPECT_EQ(report.said, c.refusal.empty() ? Said{} : Said{c.refusal});
  }
}

TEST(ProgramSettingsCheckerTest, EveryFailureIsReportedWithTheMonitorOff) {
  ProgramSettingEntries e;
  e.pgmCPUsetF = e.pgmMEMsetF = e.pgmAlertSetF = "x";
  RecordingReport report;
  EXPECT_FALSE(CheckProgramSettings(e, report));
  EXPECT_EQ(report.said, (Said{kPgmCpu, kPgmMem, kPgmAlert}));
}

std::vector<std::string> Describe(const ProgramSettings& s) {
  return {std::to_string(s.pgmMonitorF),  s.pgmNameF,
          std::to_string(s.pgmCPUsetF),   ShortestForm(s.pgmMEMsetF),
          std::to_string(s.pgmAlertSetF), std::to_string(s.pgmKillF),
          std::to_string(s.pgmSoundF),    s.pgmFileSoundF};
}

TEST(ProgramSettingsCheckerTest, EnterReadsTheBoxes) {
  ProgramSettings before;
  before.pgmMonitorF = before.pgmKillF = before.pgmSoundF = 1;
  before.pgmNameF = "old";
  before.pgmCPUsetF = 60;
  before.pgmMEMsetF = 60;
  before.pgmAlertSetF = 5;
  const struct {
    std::string name;
    ProgramSettingEntries entries;
    std::vector<std::string> after;
  } cases[] = {
      {"switched on, decimal comma",
       {true, true, true, " FireFox.EXE ", " 85 ", "12,5", "7", " /a b.wav "},
       {"1", "firefox.exe", "85", "12.5", "7", "1", "1", "/a b.wav"}},
      // Only reachable past the checks by a caller that skips them.
      {"unreadable numbers keep the settings",
       {false, false, false, "", "abc", "", "40000", ""},
       {"0", "", "60", "60", "5", "0", "0", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramSettings s = before;
    EnterProgramSettings(c.entries, s);
    EXPECT_EQ(Describe(s), c.after);
  }
}

}  // namespace
}  // namespace tarnwick
