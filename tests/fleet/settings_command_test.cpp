// --set and --show-settings on a settings folder: good values reach the files through the store,
// and every refusal is the settings dialogs' own message, one per failed check, with nothing
// written; what the dialogs' controls cannot hold is refused in the command's own words.
#include "headless/settings_command.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/program_settings.h"
#include "settings/settings_store.h"
#include "support/fake_file_system.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class ScriptedPasswords final : public IPasswordInput {
 public:
  std::deque<std::optional<std::string>> lines;  // nullopt: standard input ends
  Lines prompts;
  PasswordRead ReadLine(const std::string& prompt) override {
    prompts.push_back(prompt);
    PasswordRead read;
    if (lines.empty() || !lines.front()) {
      read.reason = std::string(kNoPassword);
    } else {
      read.ok = true;
      read.text = *lines.front();
    }
    if (!lines.empty()) lines.pop_front();
    return read;
  }
};

Lines SplitOutput(const std::string& text) {
  Lines lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

class SettingsCommandTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  testing::FakeFileSystem files;
  testing::FakeSystemInfo system;
  testing::FakeClock clock;
  ScriptedPasswords passwords;

  void SetUp() override {
    system.programFolder = (dir.path() / "prog").string();
    system.settingsFolder = (dir.path() / "etc").string();
    system.suffix = "";
    fs::create_directories(system.programFolder);
    fs::create_directories(system.settingsFolder);
  }

  std::string Path(const char* file) { return system.settingsFolder + "/" + file; }
  bool Exists(const char* file) { return fs::exists(Path(file)); }

  SettingsCommandResult Set(const Lines& assignments, const Lines& passwordNames = {}) {
    SettingsCommand command(files, system, clock);
    return command.Set(assignments, passwordNames, passwords);
  }

  Settings Saved() {
    Settings s;
    ParseSettingFile(testing::ReadFile(Path("setting.ini")), s);
    ParseSmtpFile(testing::ReadFile(Path("smtpsvr.ini")), s);
    return s;
  }
};

TEST_F(SettingsCommandTest, RefusalsAreTheDialogsOwnMessagesAndWriteNothing) {
  const struct {
    Lines set;
    std::optional<std::string> password;  // typed for smsPassword or MailPass
    Lines messages;
  } cases[] = {
      {{"TimeInterval=", "cpu_High="},
       {},
       {"Timeinterval value for monitoring can not be empty",
        "CPU warning threshold can not be empty"}},
      {{"host_Name="}, {}, {"Need input the Host / IP or description for alert message"}},
      {{"KillProc=1", "Killopt=False", "num_Kill=12", "num_High=10"},
       {},
       {"The # of times when it has top CPU or MEMORY occupied should less or equal the # of "
        "consecutive usage exceed threshold setting"}},
      // The question gets its default answer, No.
      {{"KillProc=1", "num_Kill=", "Killopt=True"},
       {},
       {"The # of times when it has top CPU or MEMORY occupied can not be empty when the kill "
        "process enabled",
        "Process name list is empty then it will No process be killed"}},
      {{"Enable_alert=1", "smsEmail=ops@x.example", "smsPhone=+15550100"},
       {},
       {"[Alert enabled] need input [Email account] and [password]"}},
      {{"Enable_alert=1", "smsEmail=ops@x.example"},
       "pw",
       {"Need input mobile # in [SMS alert to] field ",
        "It is internation format with country code"}},
      {{"Enable_alert=1", "smsEmail=a@b.cd", "smsPhone=+15550100"},
       "pw",
       {"Login Email Address is invalid !!"}},
      {{"Enable_alert=1", "smsEmail=ops@x.example", "smsPhone=+15550100", "Mail_List=boss"},
       "pw",
       {"Make it empty or input correct email address on [Mail alert to] field !!"}},
      {{"soundFrom=22", "soundTo=6", "smsFrom=9", "smsTo=9"},
       {},
       {"Schedule to play alert sound from the hour 22 to 6 is invalid"}},
      {{"smsFrom=9", "smsTo=9"}, {}, {"Schedule to send alert from the hour 9 to 9 is invalid"}},
      {{"Enable_SMTP=1", "mailSvr=smtp.x.example"},
       {},
       {"SMTP server,Mail from,Username and Password can not be empty"}},
      {{"Enable_SMTP=1", "mailSvr=smtp.mail.yahoo.com", "MailUser=xxxxx@yahoo.com",
        "mailFrom=xxxxx@yahoo.com"},
       "pw",
       {"Need input the valid Mail from and username information"}},
      {{"Enable_SMTP=1", "mailSvr=smtp.x.example", "MailUser=me@x.example", "mailFrom=me@x.example",
        "alive_Email=1", "mailTo1=a@b.c"},
       "pw",
       {"Need input valid email on [Mail to] field for [I am alive notice] !!"}},
      {{"min_Select=0"}, {}, {"Send mail for I am alive notice need >= 1 minutes"}},
      // One dialog refusing keeps the other's file unwritten too.
      {{"cpu_High=90", "min_Select=abc"},
       {},
       {"Send mail for I am alive notice need >= 1 minutes"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.set));
    Lines names;
    if (c.password) {
      const bool smtp = c.set.front().rfind("Enable_SMTP", 0) == 0;
      names.push_back(smtp ? "MailPass" : "smsPassword");
      passwords.lines.push_back(*c.password);
    }
    const SettingsCommandResult result = Set(c.set, names);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(SplitOutput(result.err), c.messages);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(Exists("setting.ini") || Exists("smtpsvr.ini") || Exists("pgmsetting.ini"));
  }
}

TEST_F(SettingsCommandTest, ValuesNoControlCanHoldAreRefusedInTheCommandsWords) {
  const struct {
    Lines set;
    Lines names;
    int exitCode;
    Lines messages;
  } cases[] = {
      {{"KillProc=yes", "Killopt=maybe"},
       {},
       1,
       {"KillProc is 0 or 1, not 'yes'", "Killopt is True or False, not 'maybe'"}},
      {{"max_SMS=7"},
       {},
       1,
       {"max_SMS is one of 9999, 5, 10, 15, 20, 30, 40, 50, 70, 80, 100, not '7'"}},
      {{"pgmCPUsetF=abc", "pgmAlertSetF=70000", "pgmMEMsetF=1e"},
       {},
       1,
       {"pgmCPUsetF is a whole number from -32768 to 32767, not 'abc'",
        "pgmAlertSetF is a whole number from -32768 to 32767, not '70000'",
        "pgmMEMsetF is a number, not '1e'"}},
      // A box the dialog greys out while its switch is off.
      {{"schAlert=1"}, {}, 1, {"schAlert=1 needs Enable_alert"}},
      {{"alive_Email=1"}, {}, 1, {"alive_Email=1 needs Enable_SMTP"}},
      {{"pgmKillF=1", "pgmSoundF=1"},
       {},
       1,
       {"pgmKillF=1 needs pgmMonitorF", "pgmSoundF=1 needs pgmMonitorF"}},
      // A command line that names no setting: nothing is read from standard input either.
      {{"cpuHigh=90", "cpu_High", "smsPassword=secret"},
       {"cpu_High"},
       2,
       {"unknown setting 'cpuHigh'", "'cpu_High' is not NAME=VALUE",
        "smsPassword is a password: give it with --set-password, which reads it from standard "
        "input",
        "'cpu_High' is not a password setting (smsPassword, MailPass)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.set));
    const SettingsCommandResult result = Set(c.set, c.names);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(SplitOutput(result.err), c.messages);
    EXPECT_FALSE(Exists("setting.ini") || Exists("smtpsvr.ini") || Exists("pgmsetting.ini"));
  }
  EXPECT_TRUE(passwords.prompts.empty());

  const SettingsCommandResult noPassword = Set({"Enable_alert=0"}, {"smsPassword"});
  EXPECT_EQ(noPassword.exitCode, 1);
  EXPECT_EQ(noPassword.err,
            "smsPassword: no password read: standard input ended before a password\n");
  EXPECT_FALSE(Exists("setting.ini"));
}

TEST_F(SettingsCommandTest, GoodValuesReachTheFilesThroughTheStore) {
  passwords.lines = {"p&ss #1 %", "mail secret"};
  const SettingsCommandResult result = Set({"cpu_High=90",
                                            "num_High=5",
                                            "host_Name=WEB07",
                                            "KillProc=1",
                                            "num_Kill=4",
                                            "Killopt=false",
                                            "PnameList=Sshd,Nginx",
                                            "Enable_alert=1",
                                            "smsEmail=ops@x.example",
                                            "smsPhone=+15550100",
                                            "max_SMS=20",
                                            "schAlert=1",
                                            "smsFrom=7",
                                            "smsTo=22",
                                            "Enable_SMTP=1",
                                            "mailSvr=smtp.x.example",
                                            "SMTPport=587",
                                            "MailUser=me@x.example",
                                            "mailFrom=me@x.example",
                                            "alive_Email=1",
                                            "mailTo1=ops@x.example",
                                            "min_Select=30",
                                            "pgmMonitorF=1",
                                            "pgmNameF= Nginx ",
                                            "pgmCPUsetF=70",
                                            "pgmMEMsetF=12.5",
                                            "pgmKillF=1"},
                                           {"smsPassword", "MailPass"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SplitOutput(result.out),
            (Lines{"Saved " + Path("setting.ini"), "Saved " + Path("smtpsvr.ini"),
                   "Saved " + Path("pgmsetting.ini")}));
  EXPECT_EQ(passwords.prompts, (Lines{"Password for smsPassword: ", "Password for MailPass: "}));

  const Settings s = Saved();
  EXPECT_EQ(s.cpu_High, "90");
  EXPECT_EQ(s.num_High, "5");
  EXPECT_EQ(s.host_Name, "WEB07");
  EXPECT_EQ(s.KillProc, 1);
  EXPECT_EQ(s.num_Kill, "4");
  EXPECT_FALSE(s.Killopt);
  EXPECT_EQ(s.PnameList, "sshd,nginx");
  EXPECT_EQ(s.Enable_alert, 1);
  EXPECT_EQ(s.smsPassword, "p&ss #1 %");
  EXPECT_EQ(s.max_SMS, "20");
  EXPECT_EQ(s.schAlert, 1);
  EXPECT_EQ(s.MailPass, "mail secret");
  EXPECT_EQ(s.alive_Email, 1);
  EXPECT_EQ(s.min_Select, "30");
  // The first start's values for what was not named.
  EXPECT_EQ(s.TimeInterval, "5");
  EXPECT_EQ(s.mem_High, "85");
  EXPECT_EQ(s.Enable_log, 1);
  // Passwords are stored scrambled.
  const std::string setting = testing::ReadFile(Path("setting.ini"));
  EXPECT_EQ(setting.find("p&ss"), std::string::npos);
  EXPECT_NE(setting.find(EncodeText("", "p&ss #1 %")), std::string::npos);

  ProgramSettings p;
  ParseProgramSettingFile(testing::ReadFile(Path("pgmsetting.ini")), p);
  EXPECT_EQ(p.pgmMonitorF, 1);
  EXPECT_EQ(p.pgmNameF, "nginx");
  EXPECT_EQ(p.pgmCPUsetF, 70);
  EXPECT_EQ(p.pgmMEMsetF, 12.5);
  EXPECT_EQ(p.pgmKillF, 1);

  // A later --set keeps every value it does not name, passwords included.
  const SettingsCommandResult again = Set({"cpu_High=95", "mailTo1=noc@x.example"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  const Settings t = Saved();
  EXPECT_EQ(t.cpu_High, "95");
  EXPECT_EQ(t.mailTo1, "noc@x.example");
  EXPECT_EQ(t.smsPassword, "p&ss #1 %");
  EXPECT_EQ(t.MailPass, "mail secret");
  EXPECT_EQ(t.mailSvr, "smtp.x.example");
  EXPECT_EQ(t.max_SMS, "20");
  EXPECT_EQ(t.smsFrom, "7");
}

TEST_F(SettingsCommandTest, ShowPrintsEverySettingByNameWithPasswordsOnlyAsSetOrUnset) {
  passwords.lines = {"top secret"};
  ASSERT_EQ(Set({"cpu_High=90", "smsPhone=+1 555\x1b[2J"}, {"smsPassword"}).exitCode, 0);
  SettingsCommand command(files, system, clock);
  const SettingsCommandResult shown = command.Show();
  EXPECT_EQ(shown.exitCode, 0);
  const Lines lines = SplitOutput(shown.out);
  ASSERT_EQ(lines.size(), 3u + 24 + 9 + 8);
  EXPECT_EQ(lines[0], "# " + Path("setting.ini"));
  EXPECT_EQ(lines[2], "cpu_High=90");
  EXPECT_EQ(lines[18], "smsPassword=(set)");
  EXPECT_EQ(lines[19], "smsPhone=+1 555?[2J") << "terminal sequences are shown, not run";
  EXPECT_EQ(lines[25], "# " + Path("smtpsvr.ini") + " (missing: the values of a first start)");
  EXPECT_EQ(lines[31], "MailPass=(unset)");
  EXPECT_EQ(lines[35], "# " + Path("pgmsetting.ini") + " (missing: the values of a first start)");
  EXPECT_EQ(lines[36], "pgmMonitorF=0");
  EXPECT_EQ(shown.out.find("top secret"), std::string::npos);
}

TEST_F(SettingsCommandTest, AFileThatCannotBeReadIsNeitherShownAsGoodNorReplaced) {
  testing::WriteFile(Path("setting.ini"), "5\r\n");
  files.unreadable[Path("setting.ini")] = "Permission denied";
  SettingsCommand command(files, system, clock);
  const SettingsCommandResult shown = command.Show();
  EXPECT_EQ(shown.exitCode, 1);
  EXPECT_NE(
      shown.err.find("Cannot read settings file " + Path("setting.ini") + ": Permission denied"),
      std::string::npos)
      << shown.err;

  // Its empty-line values would fail the dialog's checks; with those given, Save asks before
  // replacing the file, and the default answer keeps it.
  const SettingsCommandResult set =
      Set({"cpu_High=90", "host_Name=WEB01", "soundFrom=8", "soundTo=19", "smsFrom=8", "smsTo=19"});
  EXPECT_EQ(set.exitCode, 1);
  EXPECT_NE(set.err.find("could not be read at start (Permission denied)"), std::string::npos)
      << set.err;
  EXPECT_EQ(files.replaces, 0);
}

}  // namespace
}  // namespace tarnwick
