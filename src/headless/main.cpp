// tarnwickd: Tarnwick without a window system. The engine runs on the same platform services as
// the desktop program, driven by a small event loop, with its own listeners: the status lines,
// the usage history, the metrics and (on Windows) the Event Log; every log line goes to standard
// output as it is written.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/text.h"
#include "engine/engine.h"
#include "engine/process_control.h"
#include "headless/headless_loop.h"
#include "headless/headless_status.h"
#include "headless/headless_ui_services.h"
#include "headless/options.h"
#include "headless/posted_work.h"
#include "headless/settings_command.h"
#include "history/history_command_line.h"
#include "history/history_listener.h"
#include "history/history_recorder.h"
#include "history/top_scan.h"
#include "platform/curl/curl_url_transport.h"
#include "platform/instance_marker.h"
#include "platform/owner_only_file.h"
#include "platform/settings_lock.h"
#include "platform/sqlite/sqlite_history_store.h"

#ifdef TARNWICK_HAVE_METRICS
#include "metrics/metrics_service.h"
#include "platform/httplib/httplib_metrics_endpoint.h"
#endif

#ifdef _WIN32
#include "eventlog/event_log_feed.h"
#include "headless/service_commands.h"
#include "platform/windows/nt_process_lister.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_clock.h"
#include "platform/windows/windows_counters.h"
#include "platform/windows/windows_event_log.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_mailer_launcher.h"
#include "platform/windows/windows_password_input.h"
#include "platform/windows/windows_process_killer.h"
#include "platform/windows/windows_self_figures.h"
#include "platform/windows/windows_service.h"
#include "platform/windows/windows_settings_changes.h"
#include "platform/windows/windows_sound_player.h"
#include "platform/windows/windows_system_info.h"
#else
#include <unistd.h>

#include "domain/settings_location.h"
#include "headless/kill_rules.h"
#include "platform/linux/alsa_sound_player.h"
#include "platform/linux/inotify_settings_changes.h"
#include "platform/linux/kill_capability.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/pidfd_process_killer.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/linux/proc_self_figures.h"
#include "platform/posix/hangup_signal.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_mailer_launcher.h"
#include "platform/posix/posix_password_input.h"
#include "platform/posix/posix_termination_signals.h"
#endif

namespace {

// The platform's services, chosen once here; everything below is the same on both systems.
#ifdef _WIN32
using Clock = tarnwick::WindowsClock;
using SystemInfo = tarnwick::WindowsSystemInfo;
using CpuCounters = tarnwick::WindowsCpuCounters;
using MemoryReader = tarnwick::WindowsMemoryReader;
using ProcessLister = tarnwick::NtProcessLister;
using SoundPlayer = tarnwick::WindowsSoundPlayer;
using MailerLauncher = tarnwick::WindowsMailerLauncher;
using ProcessKiller = tarnwick::WindowsProcessKiller;
using TerminationRequests = tarnwick::WindowsStopRequests;
using FileSystem = tarnwick::WindowsFileSystem;
using PasswordInput = tarnwick::WindowsPasswordInput;
using SelfFigures = tarnwick::WindowsSelfFigures;
using SettingsChanges = tarnwick::WindowsSettingsChanges;
bool FileChangesWatched(const SettingsChanges& c) {
  return c.WatchFailure().empty();
}
std::string FileChangesReason(const SettingsChanges& c) {
  return c.WatchFailure();
}
#else
using Clock = tarnwick::SystemClock;
using SystemInfo = tarnwick::LinuxSystemInfo;
using CpuCounters = tarnwick::ProcCpuCounters;
using MemoryReader = tarnwick::ProcMemoryReader;
using ProcessLister = tarnwick::ProcProcessLister;
using SoundPlayer = tarnwick::AlsaSoundPlayer;
using MailerLauncher = tarnwick::PosixMailerLauncher;
using ProcessKiller = tarnwick::PidfdProcessKiller;
using FileSystem = tarnwick::PosixFileSystem;
using TerminationRequests = tarnwick::PosixTerminationSignals;
using PasswordInput = tarnwick::PosixPasswordInput;
using SelfFigures = tarnwick::ProcSelfFigures;
using SettingsChanges = tarnwick::InotifySettingsChanges;
bool FileChangesWatched(const SettingsChanges& c) {
  return c.watching();
}
std::string FileChangesReason(const SettingsChanges& c) {
  return c.reason();
}
#endif

// The log's line at start when no web service account is set up.
constexpr std::string_view kNoAccountLine =
    "Email account or Password is empty. Please set up the account with tarnwickd --set "
    "smsEmail=ADDRESS --set-password smsPassword to send alerts";

// Log lines when --set cannot tell this program of new settings, or changed files go unseen; the
// reason follows.
constexpr std::string_view kNoMarkerStart = "tarnwickd --set cannot tell this program of changes: ";
constexpr std::string_view kNotWatchedStart =
    "Changed settings files are not seen (reload with SIGHUP or a restart): ";

// Exit code for a wrong command line, and for a program that cannot do what it was asked.
constexpr int kUsageError = 2;
constexpr int kCannotRun = 1;

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// One line on standard output, flushed at once so that a reader of a pipe or the journal sees
// it as it happens. Every line the program prints while it runs comes through here.
void PrintLine(const std::string& line) {
  Write(stdout, tarnwick::TerminalLine(line));
}

int RunMonitor(const tarnwick::HeadlessOptions& options);

#ifndef _WIN32
constexpr std::string_view kKillNeedsRestart =
    "A kill rule is on: restart tarnwickd to terminate other users' processes (the capability "
    "to signal them was dropped at start)";

// Runs `check` whenever settings come into force after the start.
class KillRuleReloads final : public tarnwick::IEngineListener {
 public:
  explicit KillRuleReloads(std::function<void()> check) : check_(std::move(check)) {}
  void OnSettingsInForce(const tarnwick::SettingsInForce&) override { check_(); }
  void OnProgramSettingsInForce() override { check_(); }

 private:
  std::function<void()> check_;
};
#endif

#ifndef _WIN32
// Root running the installed program works on the service's folders unless told otherwise.
void UseServerFolders(tarnwick::HeadlessOptions& options) {
  SystemInfo system{std::string(tarnwick::kHeadlessProgramName)};
  const tarnwick::ServerFolders folders = tarnwick::ChooseServerFolders(
      {::geteuid() == 0, system.ProgramFolder(), TARNWICK_INSTALLED_PROGRAM_FOLDER,
       options.settingsFolder, options.logFolder});
  options.settingsFolder = folders.settingsFolder;
  options.logFolder = folders.logFolder;
}
#endif

}  // namespace

namespace {

// The arguments after the program's name, as UTF-8.
int Main(const std::vector<std::string>& arguments) {
  tarnwick::HeadlessOptions options = tarnwick::ParseHeadlessOptions(arguments);
#ifndef _WIN32
  UseServerFolders(options);
#endif
  switch (options.action) {
    case tarnwick::HeadlessOptions::Action::Help:
      Write(stdout, tarnwick::HeadlessUsage());
      return 0;
    case tarnwick::HeadlessOptions::Action::Version:
      Write(stdout, tarnwick::HeadlessVersion());
      return 0;
    case tarnwick::HeadlessOptions::Action::Error:
      // The line names what the user typed: printed as any other line from outside is.
      Write(stderr, tarnwick::TerminalLine(options.error.empty()
                                               ? tarnwick::HeadlessOptionError(options.badArgument)
                                               : options.error) +
                        tarnwick::HeadlessUsage());
      return kUsageError;
    case tarnwick::HeadlessOptions::Action::Run:
    case tarnwick::HeadlessOptions::Action::ShowSettings:
    case tarnwick::HeadlessOptions::Action::SetSettings:
      break;
#ifdef _WIN32
    case tarnwick::HeadlessOptions::Action::InstallService:
      return tarnwick::InstallServiceCommand(options);
    case tarnwick::HeadlessOptions::Action::UninstallService:
      return tarnwick::UninstallServiceCommand();
#else
    default:
      break;
#endif
  }
#ifdef _WIN32
  if (options.underServiceManager) {
    tarnwick::HeadlessOptions service = options;
    tarnwick::UseServiceFolders(service);
    int exitCode = 0;
    if (tarnwick::RunAsService([&service] { return RunMonitor(service); }, exitCode)) {
      return exitCode;
    }
    Write(stderr, std::string(tarnwick::kHeadlessProgramName) + ": option '" +
                      std::string(tarnwick::kServiceRunOption) +
                      "' is for the Service Control Manager; use --install-service\n");
    return kUsageError;
  }
#endif
  return RunMonitor(options);
}

}  // namespace

#ifdef _WIN32
// The arguments come as UTF-16: with main they would reach the program in the ANSI code page,
// which turns a host name outside it ("Tarnwück" under a Greek code page) into question marks.
int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(tarnwick::win::Utf8(argv[i]));
  return Main(arguments);
}
#else
int main(int argc, char* argv[]) {
  return Main(std::vector<std::string>(argv + 1, argv + argc));
}
#endif

namespace {

int RunMonitor(const tarnwick::HeadlessOptions& options) {
  Clock clock;
  const std::function<void(const std::string&)> print = PrintLine;
  tarnwick::HeadlessUiServices ui(print);
  SystemInfo system{std::string(tarnwick::kHeadlessProgramName)};
  system.SetSettingsFolder(options.settingsFolder);
  system.SetLogFolder(options.logFolder);
  FileSystem files;
  // --show-settings and --set read or write the settings files and end the program.
  if (options.action != tarnwick::HeadlessOptions::Action::Run) {
    tarnwick::SettingsCommand command(files, system, clock,
                                      {&tarnwick::LockSettingsFolder, &tarnwick::RunningInstance});
    PasswordInput passwords;
    const tarnwick::SettingsCommandResult result =
        options.action == tarnwick::HeadlessOptions::Action::ShowSettings
            ? command.Show(options.shownNames)
            : command.Set({options.assignments, options.passwordNames, options.emptyPasswords,
                           options.detailedExitCodes},
                          passwords);
    Write(stdout, result.out);
    Write(stderr, result.err);
    return result.exitCode;
  }
  // --history and --export-history read the usage history and end the program.
  const std::string historyPath =
      system.LogFolder() + system.PathSeparator() + std::string(tarnwick::kHistoryFileName);
  if (const auto status = tarnwick::RunHistoryCommandLine(
          options.historyArgs,
          [&historyPath] {
            return std::make_unique<tarnwick::SqliteHistoryStore>(
                historyPath, tarnwick::SqliteHistoryStore::Access::ReadOnly);
          },
          clock, &tarnwick::CreateOwnerOnlyFile)) {
    return *status;
  }
  CpuCounters cpuCounters;
  MemoryReader memory;
  ProcessLister processes;
  SoundPlayer sound;
  tarnwick::CurlUrlTransport transport;
  // Mailer exits come back from their threads through the loop.
  tarnwick::PostedWork posted(transport);
  MailerLauncher mailerLauncher(posted.Poster());
  ProcessKiller killer;
  tarnwick::EngineDeps deps{clock, system, cpuCounters, memory, processes, sound, files};
  // No one can press Login here: every failed login is tried again.
  deps.loginRetry = tarnwick::LoginRetry::AfterAnyFailure;
  deps.noAccountLine = kNoAccountLine;
  deps.urlTransport = &transport;
  deps.mailerLauncher = &mailerLauncher;
#ifdef TARNWICK_HAVE_METRICS
  tarnwick::HttplibMetricsEndpoint metricsEndpoint;
  SelfFigures selfFigures;
  std::optional<tarnwick::MetricsService> metrics;
  if (options.metricsListen) {
    metrics.emplace(tarnwick::MetricsIdentity{std::string(tarnwick::kHeadlessProgramName),
                                              tarnwick::HeadlessVersionNumber()},
                    metricsEndpoint, selfFigures);
    deps.mailerLauncher = &metrics->CountMailFailures(mailerLauncher);
  }
#endif
  deps.processKiller = &killer;
  tarnwick::Engine engine(deps);
  engine.log().SetEcho(print);
  tarnwick::HeadlessStatus status(print, ui);
  tarnwick::Listening statusListening(engine, status);
#ifdef _WIN32
  // Alerts, terminations and failures also go to the Windows Event Log.
  tarnwick::WindowsEventLog eventLog;
  tarnwick::EventLogFeed eventFeed(eventLog);
  tarnwick::Listening eventFeedListening(engine, eventFeed);
#endif
  // The usage history; declared after the engine, so its last write still has the log.
  tarnwick::ProcessTopScan topScan(
      processes, clock, system.ProcessorCount(), [&engine] { return engine.totalMemory; },
      system.ExecutableSuffix());
  tarnwick::SqliteHistoryStore historyStore(historyPath);
  tarnwick::HistoryRecorder history(
      clock, historyStore, [&engine](const std::string& line) { engine.WriteLog(line); }, &topScan,
      [&engine](const std::string& line) {
        engine.ReportFailure(tarnwick::FailureResult::Kind::History, line);
      });
  tarnwick::HistoryListener historyListener(history);
  tarnwick::Listening historyListening(engine, historyListener);

  // Installed before the load, so that a signal during it is not lost.
  TerminationRequests termination(transport);
#ifndef _WIN32
  tarnwick::HangupSignal hangup(transport);
#endif
  tarnwick::HeadlessLoop loop(engine, transport, termination);
  loop.SetAfterEvents([&posted] { posted.RunPending(); });

  // The endpoint listens before anything else runs: an address it cannot have ends the program.
  std::string metricsLine;
  std::string metricsWarning;
  if (options.metricsListen) {
#ifdef TARNWICK_HAVE_METRICS
    engine.Listen(&metrics->recorder());
    const auto started = metrics->Start(*options.metricsListen, engine);
    if (!started.ok) {
      Write(stderr, std::string(tarnwick::kHeadlessProgramName) + ": " + started.line + "\n");
      return kCannotRun;
    }
    metricsLine = started.line;
    metricsWarning = started.warning;
#else
    Write(stderr, std::string(tarnwick::kHeadlessProgramName) +
                      ": this build serves no metrics (built without cpp-httplib)\n");
    return kCannotRun;
#endif
  }

  engine.Load();
  engine.ServiceLogin();
  if (!metricsLine.empty()) engine.WriteLog(metricsLine);
  if (!metricsWarning.empty()) engine.WriteLog(metricsWarning);

  // The settings files are read again when they change or when asked to; --set finds this
  // program through its marker.
  const std::string settingsFolder = system.SettingsFolder();
  std::string markerReason;
  const auto marker = tarnwick::HoldInstanceMarker(settingsFolder, markerReason);
  if (!marker) engine.WriteLog(std::string(kNoMarkerStart) + markerReason);
  SettingsChanges fileChanges(settingsFolder, transport);
  if (!FileChangesWatched(fileChanges)) {
    engine.WriteLog(std::string(kNotWatchedStart) + FileChangesReason(fileChanges));
  }
#ifdef _WIN32
  loop.SetSettingsChanges({&fileChanges});
#else
  loop.SetSettingsChanges({&hangup, &fileChanges});
#endif
#ifndef _WIN32
  // A service started with the capability to signal other users' processes keeps it only while
  // a kill rule may need it.
  tarnwick::ProcessControl* control = engine.processControl();
  const auto killRuleOn = [&engine, control] {
    return tarnwick::KillRuleOn(engine.settings,
                                control == nullptr ? nullptr : &control->programSettings());
  };
  const bool capabilityDropped = !killRuleOn() && tarnwick::DropKillCapability();
  // Dropped for good: a kill rule switched on by a reload reaches only this user's processes.
  bool restartTold = false;
  KillRuleReloads killRuleReloads([&] {
    if (!capabilityDropped || restartTold || !killRuleOn()) return;
    restartTold = true;
    engine.WriteLog(std::string(kKillNeedsRestart));
  });
  tarnwick::Listening killRuleListening(engine, killRuleReloads);
#endif
  loop.Run();
  // Ending the program ends monitoring; the history says so (and writes what it holds).
  if (engine.MonitoringOn()) {
    history.RecordEvent(tarnwick::HistoryEventKind::MonitoringStopped,
                        std::string(tarnwick::kMonitoringStopped));
  }
  return 0;
}

}  // namespace
