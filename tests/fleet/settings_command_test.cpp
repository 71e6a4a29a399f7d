// --set and --show-settings on a settings folder: good values reach the files through the store,
// and every refusal is the settings dialogs' own message, one per failed check, with nothing
// written; what the dialogs' controls cannot hold is refused in the command's own words.
#include "headless/settings_command.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/process_control.h"
#include "forms/settings_dialogs.h"
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
    return Set(SettingsChange{assignments, passwordNames, {}, false});
  }
  SettingsCommandResult Set(const SettingsChange& change, SettingsFolderServices services = {}) {
    SettingsCommand command(files, system, clock, std::move(services));
    return command.Set(change, passwords);
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
       {"TimeInterval: Timeinterval value for monitoring can not be empty",
        "cpu_High: CPU warning threshold can not be empty"}},
      {{"host_Name="},
       {},
       {"host_Name: Need input the Host / IP or description for alert message"}},
      {{"KillProc=1", "Killopt=False", "num_Kill=12", "num_High=10"},
       {},
       {"num_Kill: The # of times when it has top CPU or MEMORY occupied should less or equal "
        "the # of consecutive usage exceed threshold setting"}},
      // The question gets its default answer, No.
      {{"KillProc=1", "num_Kill=", "Killopt=True"},
       {},
       {"num_Kill: The # of times when it has top CPU or MEMORY occupied can not be empty when "
        "the kill process enabled",
        "PnameList: Process name list is empty then it will No process be killed"}},
      {{"Enable_alert=1", "smsEmail=ops@x.example", "smsPhone=+15550100"},
       {},
       {"smsPassword: [Alert enabled] need input [Email account] and [password]"}},
      {{"Enable_alert=1", "smsEmail=ops@x.example"},
       "pw",
       {"smsPhone: Need input mobile # in [SMS alert to] field ",
        "It is internation format with country code"}},
      {{"Enable_alert=1", "smsEmail=a@b.cd", "smsPhone=+15550100"},
       "pw",
       {"smsEmail: Login Email Address is invalid !!"}},
      {{"Enable_alert=1", "smsEmail=ops@x.example", "smsPhone=+15550100", "Mail_List=boss"},
       "pw",
       {"Mail_List: Make it empty or input correct email address on [Mail alert to] field !!"}},
      {{"soundFrom=22", "soundTo=6", "smsFrom=9", "smsTo=9"},
       {},
       {"soundFrom: Schedule to play alert sound from the hour 22 to 6 is invalid"}},
      {{"smsFrom=9", "smsTo=9"},
       {},
       {"smsFrom: Schedule to send alert from the hour 9 to 9 is invalid"}},
      {{"Enable_SMTP=1", "mailSvr=smtp.x.example"},
       {},
       {"mailFrom: SMTP server,Mail from,Username and Password can not be empty"}},
      {{"Enable_SMTP=1", "mailSvr=smtp.mail.yahoo.com", "MailUser=xxxxx@yahoo.com",
        "mailFrom=xxxxx@yahoo.com"},
       "pw",
       {"mailFrom: Need input the valid Mail from and username information"}},
      {{"Enable_SMTP=1", "mailSvr=smtp.x.example", "SMTPport=465", "MailUser=me@x.example",
        "mailFrom=me@x.example", "alive_Email=1", "mailTo1=a@b.c"},
       "pw",
       {"mailTo1: Need input valid email on [Mail to] field for [I am alive notice] !!"}},
      {{"min_Select=0"}, {}, {"min_Select: Send mail for I am alive notice need >= 1 minutes"}},
      {{"pgmCPUsetF=abc", "pgmAlertSetF=70000", "pgmMEMsetF=1e"},
       {},
       {"pgmCPUsetF: The program's CPU warning threshold must be a whole number from 1 to 100",
        "pgmMEMsetF: The program's memory warning threshold must be a number above 0 and at most "
        "100",
        "pgmAlertSetF: The program's # of consecutive usage exceed threshold to trigger alert "
        "sending must be a whole number from 1 to 32767"}},
      // One dialog refusing keeps the other's file unwritten too.
      {{"cpu_High=90", "min_Select=abc"},
       {},
       {"min_Select: Send mail for I am alive notice need >= 1 minutes"}},
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

// The same values typed into the dialogs and given to --set: the same refusals, one message per
// failed check in the same order, for the checks of the dialogs and the range checks alike.
TEST_F(SettingsCommandTest, RefusalsAreTheDialogsRefusalsValueForValue) {
  Settings stored;
  stored.TimeInterval = "5";
  stored.cpu_High = "80";
  stored.mem_High = "90";
  stored.num_High = "10";
  stored.host_Name = "WEB01";
  stored.num_Kill = "10";
  stored.soundFrom = stored.smsFrom = "8";
  stored.soundTo = stored.smsTo = "19";
  stored.max_SMS = "20";
  stored.Enable_SMTP = 1;
  stored.mailSvr = "smtp.x.example";
  stored.SMTPport = "587";
  stored.mailFrom = "me@x.example";
  stored.MailUser = "me@x.example";
  stored.MailPass = "pw";
  stored.min_Select = "30";
  testing::WriteFile(Path("setting.ini"), FormatSettingFile(stored));
  testing::WriteFile(Path("smtpsvr.ini"), FormatSmtpFile(stored));
  testing::WriteFile(Path("pgmsetting.ini"),
                     " 0 \r\nnotepad\r\n 60 \r\n 60 \r\n 5 \r\n 0 \r\n 0 \r\n\r\n");
  const std::string files0 = testing::ReadFile(Path("setting.ini"));

  // How each setting of the table is typed into its dialog.
  using Type = std::function<void(SettingsDialogs&, const std::string&)>;
  const std::map<std::string, Type> typing = {
      {"TimeInterval", [](SettingsDialogs& d, const std::string& v) { d.alert.TimeInterval = v; }},
      {"cpu_High", [](SettingsDialogs& d, const std::string& v) { d.alert.cpu_High = v; }},
      {"mem_High", [](SettingsDialogs& d, const std::string& v) { d.alert.mem_High = v; }},
      {"num_High", [](SettingsDialogs& d, const std::string& v) { d.alert.num_High = v; }},
      {"KillProc",
       [](SettingsDialogs& d, const std::string& v) {
         d.alert.KillProc = v == "1";
         d.alert.OnKillProcClick();
       }},
      {"num_Kill", [](SettingsDialogs& d, const std::string& v) { d.alert.num_Kill = v; }},
      {"soundFrom", [](SettingsDialogs& d, const std::string& v) { d.alert.soundFrom = v; }},
      {"smsTo", [](SettingsDialogs& d, const std::string& v) { d.alert.smsTo = v; }},
      {"SMTPport", [](SettingsDialogs& d, const std::string& v) { d.smtp.SMTPport = v; }},
      {"min_Select", [](SettingsDialogs& d, const std::string& v) { d.smtp.min_Select = v; }},
      {"pgmCPUsetF",
       [](SettingsDialogs& d, const std::string& v) { d.program->pgmCPUsetF.text = v; }},
      {"pgmMEMsetF",
       [](SettingsDialogs& d, const std::string& v) { d.program->pgmMEMsetF.text = v; }},
      {"pgmAlertSetF",
       [](SettingsDialogs& d, const std::string& v) { d.program->pgmAlertSetF.text = v; }},
  };
  const Lines table[] = {
      {"cpu_High=9o"},
      {"cpu_High=150"},
      {"cpu_High=-5"},
      {"cpu_High=abc"},
      {"cpu_High="},
      {"cpu_High=0", "mem_High=101"},
      {"cpu_High=85.5"},
      {"num_High=0"},
      {"TimeInterval=70000"},
      {"TimeInterval=abc", "num_High=1e9"},
      {"KillProc=1", "num_Kill=0"},
      {"KillProc=1", "num_Kill=12"},
      {"KillProc=1", "num_Kill=abc"},
      {"soundFrom=24"},
      {"soundFrom=20"},
      {"smsTo=25"},
      {"SMTPport=notaport"},
      {"SMTPport=70000"},
      {"SMTPport=0"},
      {"min_Select=0"},
      {"pgmCPUsetF=abc"},
      {"pgmCPUsetF=101", "pgmMEMsetF=0", "pgmAlertSetF=0"},
      {"pgmMEMsetF=100,5"},
  };
  for (const Lines& set : table) {
    SCOPED_TRACE(::testing::PrintToString(set));
    // The dialogs, opened on the files as the menu commands open them, typed into and saved.
    testing::RecordingUi ui;
    testing::FakeCpuCounters cpu;
    testing::FakeMemory memory;
    testing::FakeProcessLister processes{clock};
    testing::RecordingSound sound;
    struct NoKiller final : IProcessKiller {
      bool KillProcess(int, uint64_t) override { return false; }
    } killer;
    EngineDeps deps{clock, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    Engine engine(deps);
    engine.store().LoadSettings(engine.settings, system.ComputerName(), system.ProgramFolder());
    engine.processControl()->LoadProgramSettings();
    FormContext context(engine, ui);
    SettingsDialogs dialogs(context);
    bool used[3] = {false, false, false};
    for (const std::string& assignment : set) {
      const std::string name = assignment.substr(0, assignment.find('='));
      const int dialog = name.rfind("pgm", 0) == 0                    ? 2
                         : name == "SMTPport" || name == "min_Select" ? 1
                                                                      : 0;
      if (!used[dialog]) {
        if (dialog == 0) dialogs.alert.Show();
        if (dialog == 1) {
          dialogs.smtp.Show();
          dialogs.smtp.OnPublicSMTPClick(kMySmtpPreset);
        }
        if (dialog == 2) dialogs.program->Show();
        used[dialog] = true;
      }
      typing.at(name)(dialogs, assignment.substr(assignment.find('=') + 1));
    }
    if (used[0]) dialogs.alert.OnSaveClick();
    if (used[1]) dialogs.smtp.OnSaveClick();
    if (used[2]) dialogs.program->pgmSave_Click();
    Lines dialogMessages;
    for (const testing::RecordedMessage& m : ui.messages) {
      for (const std::string& line : SplitLines(m.text)) dialogMessages.push_back(line);
    }
    ASSERT_FALSE(dialogMessages.empty()) << "the dialogs refused nothing";

    // --set, on the same files: the same messages, each refusal naming its setting.
    const SettingsCommandResult result = Set(set);
    EXPECT_EQ(result.exitCode, 1);
    Lines commandMessages;
    size_t named = 0;
    for (const std::string& line : SplitOutput(result.err)) {
      const size_t colon = line.find(": ");
      const std::string name = line.substr(0, colon);
      const bool isSetting = colon != std::string::npos && name.find(' ') == std::string::npos;
      if (isSetting) ++named;
      commandMessages.push_back(isSetting ? line.substr(colon + 2) : line);
    }
    EXPECT_EQ(commandMessages, dialogMessages);
    EXPECT_EQ(named, ui.messages.size()) << "every box is printed under its setting's name";
    EXPECT_EQ(testing::ReadFile(Path("setting.ini")), files0) << "nothing written";
  }
}

// What a configuration tool relies on: the exit code tells refused, wrong, unchanged and changed
// apart, a file is written only when its content changes, and a command line that could be meant
// two ways is refused before anything is read or written.
TEST_F(SettingsCommandTest, ExitCodesTellUnchangedFromChangedAndRefuseAmbiguousCommands) {
  // Stored by a first --set of every case.
  passwords.lines = {"old secret"};
  ASSERT_EQ(Set({"cpu_High=90", "host_Name=WEB07"}, {"smsPassword"}).exitCode, 0);
  const std::string long_(kLongestValue, 'a');
  const std::string tooLong(kLongestValue + 1, 'a');
  const struct {
    const char* proves;
    SettingsChange change;
    std::vector<std::optional<std::string>> typed;
    int exitCode;
    Lines out;
    Lines err;
    bool written;
  } cases[] = {
      {"the stored values again write nothing",
       {{"cpu_High=90", "host_Name=WEB07"}, {}, {}, true},
       {},
       0,
       {"Unchanged"},
       {},
       false},
      {"the stored password again writes nothing",
       {{}, {"smsPassword"}, {}, true},
       {"old secret"},
       0,
       {"Unchanged"},
       {},
       false},
      {"a changed value is exit 3 with --detailed-exitcodes",
       {{"cpu_High=95"}, {}, {}, true},
       {},
       kSettingsChangedExit,
       {"Saved " + Path("setting.ini")},
       {},
       true},
      {"and 0 without",
       {{"cpu_High=90"}, {}, {}, false},
       {},
       0,
       {"Saved " + Path("setting.ini")},
       {},
       true},
      {"a name given twice",
       {{"cpu_High=1", "num_High=2", "cpu_High=3"}, {}, {}, true},
       {},
       2,
       {},
       {"cpu_High is given more than once"},
       false},
      {"a password read and cleared",
       {{}, {"MailPass"}, {"MailPass"}, true},
       {},
       2,
       {},
       {"MailPass is given more than once"},
       false},
      {"an empty password read",
       {{"cpu_High=80"}, {"smsPassword"}, {}, true},
       {""},
       1,
       {},
       {"smsPassword: the password read is empty; to clear it, give --set-password smsPassword "
        "--empty"},
       false},
      {"a value as long as a line holds",
       {{"PnameList=" + long_}, {}, {}, true},
       {},
       kSettingsChangedExit,
       {"Saved " + Path("setting.ini")},
       {},
       true},
      {"a value longer",
       {{"PnameList=" + tooLong, "cpu_High=80"}, {}, {}, true},
       {},
       1,
       {},
       {"PnameList: the value is 2049 bytes long; a setting holds at most 2048 bytes"},
       false},
      {"a password longer",
       {{}, {"MailPass"}, {}, true},
       {tooLong},
       1,
       {},
       {"MailPass: the value is 2049 bytes long; a setting holds at most 2048 bytes"},
       false},
      {"a password cleared on purpose reads nothing",
       {{}, {}, {"smsPassword"}, true},
       {},
       kSettingsChangedExit,
       {"Saved " + Path("setting.ini")},
       {},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.proves);
    passwords.lines.assign(c.typed.begin(), c.typed.end());
    passwords.prompts.clear();
    const int replaces = files.replaces;
    const SettingsCommandResult result = Set(c.change);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(SplitOutput(result.out), c.out);
    EXPECT_EQ(SplitOutput(result.err), c.err);
    EXPECT_EQ(files.replaces != replaces, c.written);
    EXPECT_EQ(passwords.prompts.size(), c.exitCode == 2 ? 0u : c.typed.size());
  }
  EXPECT_EQ(Saved().smsPassword, "");
  EXPECT_EQ(Saved().PnameList, long_);
}

TEST_F(SettingsCommandTest, ShowWithNamesPrintsThoseInTheirOrderAndRefusesAnUnknownOne) {
  passwords.lines = {"top secret"};
  ASSERT_EQ(Set({"cpu_High=90", "pgmNameF=nginx"}, {"smsPassword"}).exitCode, 0);
  SettingsCommand command(files, system, clock);
  const struct {
    Lines names;
    int exitCode;
    Lines out;
    Lines err;
  } cases[] = {
      {{"pgmNameF", "smsPassword", "MailPass", "cpu_High"},
       0,
       {"pgmNameF=nginx", "smsPassword=(set)", "MailPass=(unset)", "cpu_High=90"},
       {}},
      {{"cpu_High", "cpuHigh", "#"}, 2, {}, {"unknown setting 'cpuHigh'", "unknown setting '#'"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.names));
    const SettingsCommandResult shown = command.Show(c.names);
    EXPECT_EQ(shown.exitCode, c.exitCode);
    EXPECT_EQ(SplitOutput(shown.out), c.out);
    EXPECT_EQ(SplitOutput(shown.err), c.err);
  }
}

// The folder's lock is held from before the first read until after the last write, a lock that
// cannot be had writes nothing, and a running tarnwickd is told of only when a file changed.
TEST_F(SettingsCommandTest, TheLockSpansTheWholeSetAndARunningProgramIsNamedAfterAChange) {
  class RecordingLock final : public HeldSettingsLock {
   public:
    explicit RecordingLock(Lines& events) : events_(events) { events_.push_back("locked"); }
    ~RecordingLock() override { events_.push_back("released"); }

   private:
    Lines& events_;
  };
  Lines events;
  std::optional<std::string> refusal;
  long running = 0;
  const auto services = [&] {
    SettingsFolderServices s;
    s.lock = [&](const std::string& folder, int wait,
                 std::string& reason) -> std::unique_ptr<HeldSettingsLock> {
      events.push_back(folder + " " + std::to_string(wait));
      if (refusal) {
        reason = *refusal;
        return nullptr;
      }
      events.push_back(Exists("setting.ini") ? "file before lock" : "no file before lock");
      return std::make_unique<RecordingLock>(events);
    };
    s.runningInstance = [&](const std::string& folder) {
      events.push_back("asked " + folder);
      return running;
    };
    return s;
  };
  const std::string lockLine = system.settingsFolder + " " + std::to_string(kLockWaitMilliseconds);
  const struct {
    const char* proves;
    std::string cpuHigh;
    std::optional<std::string> refusal;
    long running;
    int exitCode;
    Lines out;
    Lines err;
    Lines events;
  } cases[] = {
      {"a change with no program running",
       "90",
       {},
       0,
       0,
       {"Saved " + Path("setting.ini")},
       {},
       {lockLine, "no file before lock", "locked", "asked " + system.settingsFolder, "released"}},
      {"a change with one running",
       "91",
       {},
       4321,
       0,
       {"Saved " + Path("setting.ini"),
        "The running tarnwickd (pid 4321) takes the new settings at its next cycle"},
       {},
       {lockLine, "file before lock", "locked", "asked " + system.settingsFolder, "released"}},
      {"no change: nothing to take",
       "91",
       {},
       4321,
       0,
       {"Unchanged"},
       {},
       {lockLine, "file before lock", "locked", "released"}},
      {"a lock not had",
       "92",
       "the settings folder /x stays locked",
       0,
       1,
       {},
       {"Cannot lock the settings: the settings folder /x stays locked"},
       {lockLine}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.proves);
    events.clear();
    refusal = c.refusal;
    running = c.running;
    const SettingsCommandResult result =
        Set(SettingsChange{{"cpu_High=" + c.cpuHigh}, {}, {}, false}, services());
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(SplitOutput(result.out), c.out);
    EXPECT_EQ(SplitOutput(result.err), c.err);
    EXPECT_EQ(events, c.events);
  }
  EXPECT_EQ(Saved().cpu_High, "91");
}

}  // namespace
}  // namespace tarnwick
