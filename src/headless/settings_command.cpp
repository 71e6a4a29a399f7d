#include "headless/settings_command.h"

#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "engine/engine.h"
#include "engine/process_control.h"
#include "forms/settings_dialogs.h"
#include "headless/collecting_ui.h"
#include "settings/settings_file.h"

namespace tarnwick {
namespace {

// The command's own messages, for what the dialogs' controls cannot even hold.
constexpr std::string_view kNotAssignment = " is not NAME=VALUE";
constexpr std::string_view kUnknownSetting = "unknown setting ";
constexpr std::string_view kPasswordOnCommandLine =
    " is a password: give it with --set-password, which reads it from standard input";
constexpr std::string_view kNotPassword = " is not a password setting (smsPassword, MailPass)";
constexpr std::string_view kNotFlag = " is 0 or 1, not ";
constexpr std::string_view kNotKillopt = "Killopt is True or False, not ";
constexpr std::string_view kNotChoice = "max_SMS is one of ";
constexpr std::string_view kNeeds = "=1 needs ";
constexpr std::string_view kPasswordPrompt = "Password for ";
constexpr std::string_view kPasswordNotRead = ": no password read: ";
constexpr std::string_view kFileMissing = " (missing: the values of a first start)";
constexpr std::string_view kGivenTwice = " is given more than once";
constexpr std::string_view kEmptyPasswordStart =
    ": the password read is empty; to clear it, give --set-password ";
constexpr std::string_view kEmptyPasswordEnd = " --empty";
constexpr std::string_view kTooLongMiddle = ": the value is ";
constexpr std::string_view kTooLongEnd = " bytes long; a setting holds at most ";
constexpr std::string_view kBytes = " bytes";
constexpr std::string_view kFileTooLongEnd =
    " would be longer than 64 KiB, all that the program reads of it; nothing was changed";
constexpr std::string_view kNotLocked = "Cannot lock the settings: ";

static_assert(23 * (kLongestValue + 2) + (2 * kLongestValue + 2) <= kSettingsFileLimit,
              "setting.ini with every value at the longest is read whole");

// Services the engine needs and a settings command never uses.
class NoCpuCounters final : public ICpuCounterSource {
 public:
  bool Read(CpuTimes&) override { return false; }
};
class NoMemory final : public IMemoryReader {
 public:
  int64_t GetRamAmount() override { return -1; }
  int64_t GetAvailableBytes() override { return -1; }
};
class NoProcesses final : public IProcessLister {
 public:
  bool Snapshot(ProcessSnapshot&) override { return false; }
};
class NoSound final : public ISoundPlayer {
 public:
  void PlayWav(const std::string&) override {}
};
class NoKiller final : public IProcessKiller {
 public:
  bool KillProcess(int, uint64_t) override { return false; }
};

// The real files for reading; a file the dialogs save is kept here until every dialog concerned
// has accepted its Save. The engine's log writes nothing, and nothing is cleaned up.
class StagedFiles final : public IFileSystem {
 public:
  explicit StagedFiles(IFileSystem& real) : real_(real) {}

  FileReadResult ReadFile(const std::string& path, size_t limit) override {
    return real_.ReadFile(path, limit);
  }
  FileResult ReplaceFile(const std::string& path, std::string_view content) override {
    for (auto& staged : staged_) {
      if (staged.first == path) {
        staged.second = std::string(content);
        return FileResult::Success();
      }
    }
    staged_.emplace_back(path, std::string(content));
    return FileResult::Success();
  }
  FileResult AppendFile(const std::string&, std::string_view) override {
    return FileResult::Success();
  }
  FileResult MakeFolder(const std::string&) override { return FileResult::Success(); }
  int RemoveStaleTemporaries(const std::string&) override { return 0; }
  bool Exists(const std::string& path) override { return real_.Exists(path); }

  const std::vector<std::pair<std::string, std::string>>& staged() const { return staged_; }

 private:
  IFileSystem& real_;
  std::vector<std::pair<std::string, std::string>> staged_;
};

// The engine over the settings files, with the settings dialogs, as the program loads them at
// start. Nothing runs: no cycle, no login.
struct Session {
  Session(IFileSystem& real, ISystemInfo& system, IClock& clock)
      : files(real),
        engine([&] {
          EngineDeps deps{clock, system, cpu, memory, processes, sound, files};
          deps.processKiller = &killer;
          return deps;
        }()),
        context(engine, ui),
        dialogs(context) {
    engine.log().SetEcho([this](const std::string& line) { notices.push_back(line); });
    // A refusal's message box comes next: it is printed with the setting's name.
    context.SetRefusalWitness([this](std::string_view setting, const std::string&) {
      refusedSettings[ui.messages.size()] = std::string(setting);
    });
  }

  // Reads the three files into the engine; false when one could not be read.
  bool Load(ISystemInfo& system) {
    const auto loaded =
        engine.store().LoadSettings(engine.settings, system.ComputerName(), system.ProgramFolder());
    firstRun = loaded.source == SettingsStore::SettingSource::FirstRun;
    notices.insert(notices.end(), loaded.notices.begin(), loaded.notices.end());
    engine.processControl()->LoadProgramSettings();
    return notices.empty();
  }

  StagedFiles files;
  CollectingUi ui;
  NoCpuCounters cpu;
  NoMemory memory;
  NoProcesses processes;
  NoSound sound;
  NoKiller killer;
  std::vector<std::string> notices;
  // The setting of each refusal, by the number of its message among the boxes shown.
  std::map<size_t, std::string> refusedSettings;
  bool firstRun = false;
  Engine engine;
  FormContext context;
  SettingsDialogs dialogs;
};

enum class Dialog { Alert, Smtp, Program };
enum class Kind { Text, Check, Killopt, Choice, Password };

// The dialogs of one --set, loaded as the menu commands load them.
struct Dialogs {
  AlertSettingModel& alert;
  SmtpServerModel& smtp;
  PgmSetupModel& program;
};

using AlertText = std::string AlertSettingControls::*;
using AlertCheck = bool AlertSettingControls::*;
using SmtpText = std::string SmtpServerModel::*;
using SmtpCheck = bool SmtpServerModel::*;
using ProgramText = PgmSetupModel::TextBox PgmSetupModel::*;
using ProgramCheck = PgmSetupModel::CheckBox PgmSetupModel::*;

// One setting: its name, the dialog and control that edit it, and its value as the program holds
// it.
struct Entry {
  std::string_view name;
  Dialog dialog;
  Kind kind;
  std::function<std::string(const Settings&, const ProgramSettings&)> value;
  // Writes a checked value into the control.
  std::function<void(Dialogs&, const std::string&)> type;
  // Reads the control back, for the switches that clear it.
  std::function<bool(Dialogs&)> ticked;
  // The switch a check box needs (its enabling rule clears it otherwise).
  std::string_view needs;
};

std::string Flag(int16_t value) {
  return IntText(value);
}

std::vector<Entry> MakeEntries() {
  std::vector<Entry> entries;
  const auto alertText = [&](std::string_view name, std::string Settings::*setting,
                             AlertText control, Kind kind = Kind::Text) {
    entries.push_back({name,
                       Dialog::Alert,
                       kind,
                       [setting](const Settings& s, const ProgramSettings&) { return s.*setting; },
                       [control](Dialogs& d, const std::string& v) { d.alert.*control = v; },
                       nullptr,
                       {}});
  };
  const auto alertCheck = [&](std::string_view name, int16_t Settings::*setting, AlertCheck control,
                              std::string_view needs = {}) {
    entries.push_back(
        {name, Dialog::Alert, Kind::Check,
         [setting](const Settings& s, const ProgramSettings&) { return Flag(s.*setting); },
         [control](Dialogs& d, const std::string& v) { d.alert.*control = v == "1"; },
         [control](Dialogs& d) { return d.alert.*control; }, needs});
  };
  const auto smtpText = [&](std::string_view name, std::string Settings::*setting, SmtpText control,
                            Kind kind = Kind::Text) {
    entries.push_back({name,
                       Dialog::Smtp,
                       kind,
                       [setting](const Settings& s, const ProgramSettings&) { return s.*setting; },
                       [control](Dialogs& d, const std::string& v) { d.smtp.*control = v; },
                       nullptr,
                       {}});
  };
  const auto smtpCheck = [&](std::string_view name, int16_t Settings::*setting, SmtpCheck control,
                             std::string_view needs = {}) {
    entries.push_back(
        {name, Dialog::Smtp, Kind::Check,
         [setting](const Settings& s, const ProgramSettings&) { return Flag(s.*setting); },
         [control](Dialogs& d, const std::string& v) { d.smtp.*control = v == "1"; },
         [control](Dialogs& d) { return d.smtp.*control; }, needs});
  };
  const auto programText = [&](std::string_view name, Kind kind,
                               std::function<std::string(const ProgramSettings&)> value,
                               ProgramText control) {
    entries.push_back(
        {name,
         Dialog::Program,
         kind,
         [value](const Settings&, const ProgramSettings& p) { return value(p); },
         [control](Dialogs& d, const std::string& v) { (d.program.*control).text = v; },
         nullptr,
         {}});
  };
  const auto programCheck = [&](std::string_view name, int16_t ProgramSettings::*setting,
                                ProgramCheck control, std::string_view needs = {}) {
    entries.push_back(
        {name, Dialog::Program, Kind::Check,
         [setting](const Settings&, const ProgramSettings& p) { return Flag(p.*setting); },
         [control](Dialogs& d, const std::string& v) {
           (d.program.*control).value = v == "1" ? 1 : 0;
         },
         [control](Dialogs& d) { return (d.program.*control).value != 0; }, needs});
  };

  // setting.ini, in line order, with the controls of the alert settings dialog.
  alertText("TimeInterval", &Settings::TimeInterval, &AlertSettingControls::TimeInterval);
  alertText("cpu_High", &Settings::cpu_High, &AlertSettingControls::cpu_High);
  alertText("mem_High", &Settings::mem_High, &AlertSettingControls::mem_High);
  alertText("num_High", &Settings::num_High, &AlertSettingControls::num_High);
  alertText("host_Name", &Settings::host_Name, &AlertSettingControls::host_Name);
  alertCheck("Enable_log", &Settings::Enable_log, &AlertSettingControls::Enable_log);
  alertCheck("KillProc", &Settings::KillProc, &AlertSettingControls::KillProc);
  alertText("num_Kill", &Settings::num_Kill, &AlertSettingControls::num_Kill);
  entries.push_back({"Killopt",
                     Dialog::Alert,
                     Kind::Killopt,
                     [](const Settings& s, const ProgramSettings&) {
                       return std::string(s.Killopt ? "True" : "False");
                     },
                     [](Dialogs& d, const std::string& v) {
                       if (ToLower(v) == "true") {
                         d.alert.OnKilloptClick();
                       } else {
                         d.alert.OnNoKilloptClick();
                       }
                     },
                     nullptr,
                     {}});
  alertText("PnameList", &Settings::PnameList, &AlertSettingControls::PnameList);
  alertCheck("Enable_sound", &Settings::Enable_sound, &AlertSettingControls::Check5);
  alertText("filMusic", &Settings::filMusic, &AlertSettingControls::filMusic);
  alertCheck("soundOn", &Settings::soundOn, &AlertSettingControls::soundOn);
  alertText("soundFrom", &Settings::soundFrom, &AlertSettingControls::soundFrom);
  alertText("soundTo", &Settings::soundTo, &AlertSettingControls::soundTo);
  alertCheck("Enable_alert", &Settings::Enable_alert, &AlertSettingControls::Check2);
  alertText("smsEmail", &Settings::smsEmail, &AlertSettingControls::smsEmail);
  alertText("smsPassword", &Settings::smsPassword, &AlertSettingControls::smsPassword,
            Kind::Password);
  alertText("smsPhone", &Settings::smsPhone, &AlertSettingControls::smsPhone);
  alertText("Mail_List", &Settings::Mail_List, &AlertSettingControls::Mail_List);
  entries.push_back({"max_SMS",
                     Dialog::Alert,
                     Kind::Choice,
                     [](const Settings& s, const ProgramSettings&) { return s.max_SMS; },
                     [](Dialogs& d, const std::string& v) { d.alert.max_SMS.Select(v); },
                     nullptr,
                     {}});
  alertCheck("schAlert", &Settings::schAlert, &AlertSettingControls::schAlert, "Enable_alert");
  alertText("smsFrom", &Settings::smsFrom, &AlertSettingControls::smsFrom);
  alertText("smsTo", &Settings::smsTo, &AlertSettingControls::smsTo);

  // smtpsvr.ini, with the controls of the SMTP settings dialog.
  smtpCheck("Enable_SMTP", &Settings::Enable_SMTP, &SmtpServerModel::Check1);
  smtpText("mailSvr", &Settings::mailSvr, &SmtpServerModel::mailSvr);
  smtpText("SMTPport", &Settings::SMTPport, &SmtpServerModel::SMTPport);
  smtpText("mailFrom", &Settings::mailFrom, &SmtpServerModel::mailFrom);
  smtpText("MailUser", &Settings::MailUser, &SmtpServerModel::MailUser);
  smtpText("MailPass", &Settings::MailPass, &SmtpServerModel::MailPass, Kind::Password);
  smtpCheck("alive_Email", &Settings::alive_Email, &SmtpServerModel::alive_Email, "Enable_SMTP");
  smtpText("min_Select", &Settings::min_Select, &SmtpServerModel::min_Select);
  smtpText("mailTo1", &Settings::mailTo1, &SmtpServerModel::mailTo1);

  // pgmsetting.ini, with the controls of the program monitor's dialog.
  programCheck("pgmMonitorF", &ProgramSettings::pgmMonitorF, &PgmSetupModel::pgmMonitorF);
  programText(
      "pgmNameF", Kind::Text, [](const ProgramSettings& p) { return p.pgmNameF; },
      &PgmSetupModel::pgmNameF);
  programText(
      "pgmCPUsetF", Kind::Text, [](const ProgramSettings& p) { return IntText(p.pgmCPUsetF); },
      &PgmSetupModel::pgmCPUsetF);
  programText(
      "pgmMEMsetF", Kind::Text, [](const ProgramSettings& p) { return ShortestForm(p.pgmMEMsetF); },
      &PgmSetupModel::pgmMEMsetF);
  programText(
      "pgmAlertSetF", Kind::Text, [](const ProgramSettings& p) { return IntText(p.pgmAlertSetF); },
      &PgmSetupModel::pgmAlertSetF);
  programCheck("pgmKillF", &ProgramSettings::pgmKillF, &PgmSetupModel::pgmKillF, "pgmMonitorF");
  programCheck("pgmSoundF", &ProgramSettings::pgmSoundF, &PgmSetupModel::pgmSoundF, "pgmMonitorF");
  programText(
      "pgmFileSoundF", Kind::Text, [](const ProgramSettings& p) { return p.pgmFileSoundF; },
      &PgmSetupModel::pgmFileSoundF);
  return entries;
}

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = MakeEntries();
  return entries;
}

const Entry* Find(std::string_view name) {
  for (const Entry& entry : Entries()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// 'text', as a person reads it. Built by appending: GCC 12 at -O3 reports a false overlap
// (-Wrestrict) for a one-character literal added to a temporary string.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted += PrintableText(text);
  quoted += '\'';
  return quoted;
}

std::string MaxSmsChoices() {
  std::string list;
  for (std::string_view item : kMaxSmsItems) {
    if (!list.empty()) list += ", ";
    list += item;
  }
  return list;
}

// What the control of `entry` cannot hold, in the command's words; nullopt when it can.
std::optional<std::string> Unfit(const Entry& entry, const std::string& value) {
  const std::string name(entry.name);
  switch (entry.kind) {
    case Kind::Check:
      if (value == "0" || value == "1") return std::nullopt;
      return name + std::string(kNotFlag) + Quoted(value);
    case Kind::Killopt: {
      const std::string lower = ToLower(value);
      if (lower == "true" || lower == "false") return std::nullopt;
      return std::string(kNotKillopt) + Quoted(value);
    }
    case Kind::Choice:
      for (std::string_view item : kMaxSmsItems) {
        if (item == value) return std::nullopt;
      }
      return std::string(kNotChoice) + MaxSmsChoices() + ", not " + Quoted(value);
    case Kind::Text:
    case Kind::Password:
      return std::nullopt;
  }
  return std::nullopt;
}

// A message box's text as lines of the terminal; the first names the setting it refused, if any.
void AppendMessage(std::string& out, std::string_view message, std::string_view setting = {}) {
  bool first = true;
  for (const std::string& line : SplitLines(message)) {
    if (first && !setting.empty()) {
      out += setting;
      out += ": ";
    }
    first = false;
    out += PrintableText(line);
    out += '\n';
  }
}

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += '\n';
}

}  // namespace

SettingsCommand::SettingsCommand(IFileSystem& files, ISystemInfo& system, IClock& clock,
                                 SettingsFolderServices services)
    : files_(files), system_(system), clock_(clock), services_(std::move(services)) {}

SettingsCommandResult SettingsCommand::Show(const std::vector<std::string>& names) {
  SettingsCommandResult result;
  std::vector<const Entry*> named;
  for (const std::string& name : names) {
    const Entry* entry = Find(name);
    if (entry == nullptr) {
      AppendLine(result.err, std::string(kUnknownSetting) + Quoted(name));
      result.exitCode = 2;
    }
    named.push_back(entry);
  }
  if (result.exitCode != 0) return result;

  Session session(files_, system_, clock_);
  const bool readable = session.Load(system_);
  for (const std::string& notice : session.notices) AppendLine(result.err, PrintableText(notice));
  result.exitCode = readable ? 0 : 1;

  const Settings& s = session.engine.settings;
  const ProgramSettings& p = session.engine.processControl()->programSettings();
  const auto line = [&](const Entry& entry) {
    const std::string value = entry.value(s, p);
    const std::string shown = entry.kind == Kind::Password
                                  ? std::string(value.empty() ? kPasswordUnset : kPasswordSet)
                                  : PrintableText(value);
    AppendLine(result.out, std::string(entry.name) + "=" + shown);
  };
  if (!named.empty()) {
    for (const Entry* entry : named) line(*entry);
    return result;
  }
  const std::string paths[] = {session.engine.store().SettingPath(),
                               session.engine.store().SmtpPath(),
                               session.engine.processControl()->ProgramSettingPath()};
  std::optional<Dialog> current;
  for (const Entry& entry : Entries()) {
    if (current != entry.dialog) {
      current = entry.dialog;
      const std::string& path = paths[static_cast<int>(entry.dialog)];
      const bool missing = entry.dialog == Dialog::Alert ? session.firstRun : !files_.Exists(path);
      AppendLine(result.out, "# " + PrintableText(path) +
                                 (missing ? std::string(kFileMissing) : std::string()));
    }
    line(entry);
  }
  return result;
}

SettingsCommandResult SettingsCommand::Set(const SettingsChange& change, IPasswordInput& input) {
  SettingsCommandResult result;
  // Names first: a command line that names no setting reads no password.
  std::vector<std::pair<const Entry*, std::string>> values;
  std::vector<std::string_view> given;
  const auto once = [&](const Entry* entry) {
    for (std::string_view name : given) {
      if (name == entry->name) {
        AppendLine(result.err, std::string(entry->name) + std::string(kGivenTwice));
        result.exitCode = 2;
        return false;
      }
    }
    given.push_back(entry->name);
    return true;
  };
  for (const std::string& assignment : change.assignments) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
      AppendLine(result.err, Quoted(assignment) + std::string(kNotAssignment));
      result.exitCode = 2;
      continue;
    }
    const std::string name = assignment.substr(0, equals);
    const Entry* entry = Find(name);
    if (entry == nullptr) {
      AppendLine(result.err, std::string(kUnknownSetting) + Quoted(name));
      result.exitCode = 2;
    } else if (entry->kind == Kind::Password) {
      AppendLine(result.err, name + std::string(kPasswordOnCommandLine));
      result.exitCode = 2;
    } else if (once(entry)) {
      values.emplace_back(entry, assignment.substr(equals + 1));
    }
  }
  // Each password with whether it is read (true) or cleared.
  std::vector<std::pair<const Entry*, bool>> passwords;
  const auto password = [&](const std::string& name, bool read) {
    const Entry* entry = Find(name);
    if (entry == nullptr || entry->kind != Kind::Password) {
      AppendLine(result.err, Quoted(name) + std::string(kNotPassword));
      result.exitCode = 2;
    } else if (once(entry)) {
      passwords.emplace_back(entry, read);
    }
  };
  for (const std::string& name : change.passwordNames) password(name, true);
  for (const std::string& name : change.emptyPasswords) password(name, false);
  if (result.exitCode != 0) return result;

  for (const auto& [entry, read] : passwords) {
    if (!read) {
      values.emplace_back(entry, std::string());
      continue;
    }
    const std::string name(entry->name);
    const PasswordRead typed = input.ReadLine(std::string(kPasswordPrompt) + name + ": ");
    if (!typed.ok) {
      AppendLine(result.err, name + std::string(kPasswordNotRead) + typed.reason);
      result.exitCode = 1;
      return result;
    }
    // An empty line from a pipe is far more often a missing secret than a wish to clear it.
    if (typed.text.empty()) {
      AppendLine(result.err,
                 name + std::string(kEmptyPasswordStart) + name + std::string(kEmptyPasswordEnd));
      result.exitCode = 1;
      return result;
    }
    values.emplace_back(entry, typed.text);
  }
  for (const auto& [entry, value] : values) {
    if (value.size() > kLongestValue) {
      AppendLine(result.err, std::string(entry->name) + std::string(kTooLongMiddle) +
                                 std::to_string(value.size()) + std::string(kTooLongEnd) +
                                 std::to_string(kLongestValue) + std::string(kBytes));
      result.exitCode = 1;
    } else if (const auto unfit = Unfit(*entry, value)) {
      AppendLine(result.err, PrintableText(*unfit));
      result.exitCode = 1;
    }
  }
  if (result.exitCode != 0) return result;

  // From the first read to the last write no other --set on the folder reads or writes: each
  // one's values are checked against, and kept beside, the other's.
  const std::string folder = system_.SettingsFolder();
  if (folder != system_.ProgramFolder()) files_.MakeFolder(folder);
  std::unique_ptr<HeldSettingsLock> lock;
  if (services_.lock) {
    std::string reason;
    lock = services_.lock(folder, kLockWaitMilliseconds, reason);
    if (!lock) {
      AppendLine(result.err, std::string(kNotLocked) + PrintableText(reason));
      result.exitCode = 1;
      return result;
    }
  }

  Session session(files_, system_, clock_);
  session.Load(system_);
  for (const std::string& notice : session.notices) AppendLine(result.err, PrintableText(notice));
  Dialogs dialogs{session.dialogs.alert, session.dialogs.smtp, *session.dialogs.program};
  bool used[3] = {false, false, false};
  for (const auto& [entry, value] : values) used[static_cast<int>(entry->dialog)] = true;

  // The dialogs open as the menu commands open them. The SMTP dialog opens on a provider's
  // preset while no server is stored; its "My SMTP" choice shows the stored values instead, so
  // that a value not named keeps what the file holds.
  if (used[0]) dialogs.alert.Show();
  if (used[1]) {
    dialogs.smtp.Show();
    dialogs.smtp.OnPublicSMTPClick(kMySmtpPreset);
  }
  if (used[2]) dialogs.program.Show();
  for (const auto& [entry, value] : values) entry->type(dialogs, value);
  // The switches' enabling rules, as a click on them applies them; a box they clear could not
  // have been ticked in the dialog.
  if (used[0]) {
    dialogs.alert.OnCheck2Click();
    dialogs.alert.OnKillProcClick();
  }
  if (used[1]) dialogs.smtp.OnCheck1Click();
  if (used[2]) dialogs.program.pgmMonitorF_Click();
  for (const auto& [entry, value] : values) {
    if (entry->ticked && value == "1" && !entry->ticked(dialogs)) {
      AppendLine(result.err,
                 std::string(entry->name) + std::string(kNeeds) + std::string(entry->needs));
      result.exitCode = 1;
    }
  }
  if (result.exitCode != 0) return result;

  if (used[0]) dialogs.alert.OnSaveClick();
  if (used[1]) dialogs.smtp.OnSaveClick();
  if (used[2]) dialogs.program.pgmSave_Click();
  for (size_t i = 0; i < session.ui.messages.size(); ++i) {
    const auto refused = session.refusedSettings.find(i);
    AppendMessage(result.err, session.ui.messages[i],
                  refused == session.refusedSettings.end() ? std::string_view()
                                                           : std::string_view(refused->second));
  }
  const bool saved = (!used[0] || dialogs.alert.state() == FormState::NotLoaded) &&
                     (!used[1] || dialogs.smtp.state() == FormState::NotLoaded) &&
                     (!used[2] || dialogs.program.state() == FormState::NotLoaded);
  if (!saved || !session.ui.messages.empty()) {
    result.exitCode = 1;
    return result;
  }

  // Every dialog accepted: the files whose content changes are written as the store made them.
  std::vector<const std::pair<std::string, std::string>*> changed;
  for (const auto& staged : session.files.staged()) {
    if (staged.second.size() > kSettingsFileLimit) {
      AppendLine(result.err, std::string(kSaveFailedStart) + PrintableText(staged.first) +
                                 std::string(kFileTooLongEnd));
      result.exitCode = 1;
      return result;
    }
    const FileReadResult stored = files_.ReadFile(staged.first, kSettingsFileLimit);
    const bool same =
        stored.status == FileReadStatus::Ok && !stored.truncated && stored.content == staged.second;
    if (!same) changed.push_back(&staged);
  }
  for (const auto* staged : changed) {
    const FileResult written = files_.ReplaceFile(staged->first, staged->second);
    if (!written.ok) {
      AppendMessage(result.err, std::string(kSaveFailedStart) + staged->first +
                                    std::string(kSaveFailedMiddle) + written.reason);
      result.exitCode = 1;
      return result;
    }
    AppendLine(result.out, std::string(kSavedLine) + PrintableText(staged->first));
  }
  if (changed.empty()) {
    AppendLine(result.out, kUnchangedLine);
    return result;
  }
  if (change.detailedExitCodes) result.exitCode = kSettingsChangedExit;
  if (services_.runningInstance) {
    if (const long pid = services_.runningInstance(folder); pid > 0) {
      AppendLine(result.out, std::string(kRunningInstanceStart) + std::to_string(pid) +
                                 std::string(kRunningInstanceEnd));
    }
  }
  return result;
}

}  // namespace tarnwick
