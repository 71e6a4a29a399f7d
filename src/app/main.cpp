// The Tarnwick desktop program: the main window over the Linux services. Started without a
// display it hands over to tarnwickd, the program without a window, beside it.
#include <unistd.h>

#include <QApplication>
#include <QObject>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "domain/listen_address.h"
#include "engine/engine.h"
#include "forms/main_window_model.h"
#include "forms/window_places.h"
#include "history/history_command_line.h"
#include "history/history_listener.h"
#include "history/history_recorder.h"
#include "history/history_window_model.h"
#include "history/top_scan.h"
#include "history_window.h"
#include "main_window.h"
#include "metrics/metrics_service.h"
#include "platform/curl/background_smtp_client.h"
#include "platform/httplib/httplib_metrics_endpoint.h"
#include "platform/linux/alsa_sound_player.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/pidfd_process_killer.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/linux/proc_self_figures.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/owner_only_file.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_mailer_launcher.h"
#include "platform/posix/posix_user_names.h"
#include "platform/qt/qt_url_transport.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "processes_window.h"
#include "qt_ui_services.h"
#include "qt_ui_thread.h"
#include "rendering_transport.h"
#include "termination_signals.h"

namespace {

constexpr const char* kProgramName = "tarnwick";
constexpr const char* kHeadlessProgram = "tarnwickd";
constexpr const char* kHandoverFailed = "tarnwick: no display, and cannot start ";
// Exit code when neither a window nor the program without one can run.
constexpr int kCannotRun = 1;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Without a display and without a Qt platform chosen by hand there is nothing to show a window
// on: the program without a window takes over, with the same arguments.
bool ShouldHandOver() {
  return !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM");
}

// Replaces this process by tarnwickd from the program's own folder; returns only on failure,
// with a line on standard error.
int HandOver(int argc, char* argv[]) {
  tarnwick::LinuxSystemInfo self;
  const std::string path = self.ProgramFolder() + "/" + kHeadlessProgram;
  std::vector<char*> args{const_cast<char*>(path.c_str())};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execv(path.c_str(), args.data());
  const std::string message =
      std::string(kHandoverFailed) + path + ": " + std::strerror(errno) + "\n";
  std::fwrite(message.data(), 1, message.size(), stderr);
  return kCannotRun;
}

constexpr const char* kMetricsListenOption = "--metrics-listen";
// Exit code for a wrong command line.
constexpr int kUsageError = 2;

// --metrics-listen [ADDR:]PORT, as tarnwickd reads it. Empty when not given; false when given
// wrong (a line on standard error says why).
bool MetricsAddress(const std::vector<std::string>& args,
                    std::optional<tarnwick::ListenAddress>& address) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != kMetricsListenOption) continue;
    if (i + 1 < args.size()) address = tarnwick::ParseListenAddress(args[i + 1]);
    if (!address) {
      const std::string message = std::string("tarnwick: --metrics-listen needs PORT, ") +
                                  "IPV4:PORT or [IPV6]:PORT (0.0.0.0:PORT for every interface)\n";
      std::fwrite(message.data(), 1, message.size(), stderr);
      return false;
    }
  }
  return true;
}

std::string HistoryPath(tarnwick::ISystemInfo& system) {
  return system.LogFolder() + system.PathSeparator() + std::string(tarnwick::kHistoryFileName);
}

tarnwick::OpenHistoryInFolder ReadHistory(tarnwick::ISystemInfo& system) {
  return [separator = system.PathSeparator()](const std::string& folder) {
    return std::make_unique<tarnwick::SqliteHistoryStore>(
        folder + separator + std::string(tarnwick::kHistoryFileName),
        tarnwick::SqliteHistoryStore::Access::ReadOnly);
  };
}

}  // namespace

int main(int argc, char* argv[]) {
  // --history and --export-history print or write the usage history and end the program before
  // any window exists.
  {
    tarnwick::LinuxSystemInfo system;
    tarnwick::SystemClock clock;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto status = tarnwick::RunDesktopHistoryCommandLine(
            kProgramName, args, system.LogFolder(), ReadHistory(system), clock, std::cout,
            std::cerr, &tarnwick::CreateOwnerOnlyFile)) {
      return *status;
    }
  }
  if (ShouldHandOver()) return HandOver(argc, argv);
  std::optional<tarnwick::ListenAddress> metricsAddress;
  if (!MetricsAddress(std::vector<std::string>(argv + 1, argv + argc), metricsAddress)) {
    return kUsageError;
  }
  QApplication app(argc, argv);
  // The window hides into the tray; only the model's quit request ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  tarnwick::SystemClock clock;
  tarnwick::QtUiServices ui;
  tarnwick::LinuxSystemInfo system;
  tarnwick::ProcCpuCounters cpuCounters;
  tarnwick::ProcMemoryReader memory;
  tarnwick::ProcProcessLister processes;
  tarnwick::AlsaSoundPlayer sound;
  tarnwick::PosixFileSystem files;
  tarnwick::QtUrlTransport network;
  tarnwick::MainWindow* view = nullptr;
  tarnwick::RenderingTransport transport(network, [&view] {
    if (view != nullptr) view->Render();
  });
  // Mailer exits and test mail answers come back from their threads through the event loop.
  tarnwick::QtUiThread uiThread;
  tarnwick::PosixMailerLauncher mailerLauncher(uiThread.Poster());
  tarnwick::BackgroundSmtpClient smtpClient(uiThread.Poster());
  tarnwick::EngineDeps deps{clock, system, cpuCounters, memory, processes, sound, files};
  // The Login menu is there for a refused password; a lost connection is tried again.
  deps.loginRetry = tarnwick::LoginRetry::AfterConnectionFailure;
  deps.events = &ui;
  deps.urlTransport = &transport;
  deps.mailerLauncher = &mailerLauncher;
  tarnwick::HttplibMetricsEndpoint metricsEndpoint;
  tarnwick::ProcSelfFigures selfFigures;
  std::optional<tarnwick::MetricsService> metrics;
  if (metricsAddress) {
    metrics.emplace(tarnwick::MetricsIdentity{"tarnwick", TARNWICK_VERSION}, metricsEndpoint,
                    selfFigures);
    deps.mailerLauncher = &metrics->CountMailFailures(mailerLauncher);
  }
  tarnwick::PidfdProcessKiller killer;
  deps.processKiller = &killer;
  tarnwick::XdgAutostart autostart(files, tarnwick::XdgConfigFolder(),
                                   system.ProgramFolder() + "/tarnwick");
  tarnwick::Engine engine(deps);
  tarnwick::MainWindowModel model(engine, {ui, &smtpClient, &autostart});

  // The usage history; declared after the engine, so its last write still has the log.
  tarnwick::ProcessTopScan topScan(
      processes, clock, system.ProcessorCount(), [&engine] { return engine.totalMemory; },
      system.ExecutableSuffix());
  tarnwick::SqliteHistoryStore historyStore(HistoryPath(system));
  tarnwick::HistoryRecorder history(
      clock, historyStore, [&engine](const std::string& line) { engine.WriteLog(line); }, &topScan,
      [&engine](const std::string& line) {
        engine.ReportFailure(tarnwick::FailureResult::Kind::History, line);
      });
  tarnwick::HistoryListener historyListener(history);
  tarnwick::Listening historyListening(engine, historyListener);

  // Where the History and Processes windows were left, per screen; outlives both views.
  tarnwick::WindowPlaces windowPlaces(
      files,
      system.SettingsFolder() + system.PathSeparator() +
          std::string(tarnwick::kWindowPlacesFileName),
      [&engine](const std::string& line) { engine.WriteLog(line); });
  windowPlaces.Load();

  tarnwick::MainWindow window(model);
  view = &window;
  tarnwick::HistoryWindowModel historyModel(
      clock, engine.settings, &historyStore, &history,
      {&ui, &tarnwick::CreateOwnerOnlyFile, system.LogFolder()});
  tarnwick::HistoryWindow historyView(historyModel);
  historyView.UsePlaces(windowPlaces);
  tarnwick::AddHistoryMenu(window, historyModel, historyView);
  tarnwick::PosixUserNames userNames;
  tarnwick::ProcessesWindowModel processesModel(engine.processSampler(), engine,
                                                system.ExecutableSuffix(), &userNames);
  tarnwick::Listening processesListening(engine, processesModel);
  tarnwick::ProcessesWindow processesView(processesModel);
  processesView.UsePlaces(windowPlaces);
  tarnwick::AddProcessesMenu(window, processesModel, processesView);
  QObject::connect(&window, &tarnwick::MainWindow::programEnding, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  // Letting events run inside a handler shows the model's state as it is at that moment (the
  // busy caption while the CPU is sampled, for one).
  ui.SetBeforeEvents([&window] { window.Render(); });
  uiThread.SetAfterWork([&window] { window.Render(); });

  // A signal ends the program the way closing the window does.
  tarnwick::TerminationSignals termination;
  QObject::connect(&termination, &tarnwick::TerminationSignals::terminationRequested, &window,
                   &QWidget::close);

  // An address the endpoint cannot have is told in the log and a message box; monitoring runs.
  std::optional<tarnwick::MetricsService::Started> metricsStarted;
  if (metrics) {
    engine.Listen(&metrics->recorder());
    metricsStarted = metrics->Start(*metricsAddress, engine);
  }

  model.OnLoad();
  if (metricsStarted) {
    engine.WriteLog(metricsStarted->line);
    if (!metricsStarted->warning.empty()) engine.WriteLog(metricsStarted->warning);
    if (!metricsStarted->ok) {
      ui.MessageBox(metricsStarted->line, tarnwick::MessageButtons::Ok,
                    std::string(tarnwick::kDialogMessageTitle));
    }
  }
  window.Render();
  const int exitCode = QApplication::exec();
  // Ending the program ends monitoring; the history says so (and writes what it holds).
  if (engine.MonitoringOn()) {
    history.RecordEvent(tarnwick::HistoryEventKind::MonitoringStopped,
                        std::string(tarnwick::kMonitoringStopped));
  }
  return exitCode;
}
