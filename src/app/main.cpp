// The Tarnwick desktop program: the main window over the Linux services. Started without a
// display it runs headless on Qt's offscreen platform, answers its own message boxes and echoes
// the activity log to standard output.
#include <QApplication>
#include <QObject>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/clock.h"
#include "headless_status.h"
#include "history/history_recorder.h"
#include "history/history_window_model.h"
#include "history/top_scan.h"
#include "history_window.h"
#include "main_window.h"
#include "monitor/main_window_model.h"
#include "platform/curl/background_smtp_client.h"
#include "platform/linux/alsa_sound_player.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/pidfd_process_killer.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_mailer_launcher.h"
#include "platform/qt/qt_url_transport.h"
#include "platform/sqlite/history_command_line.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "qt_ui_services.h"
#include "qt_ui_thread.h"
#include "rendering_transport.h"
#include "termination_signals.h"

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// One log line on standard output, flushed at once so that a reader of a pipe sees it as it
// happens. The log's blank separator line (CR LF) becomes an empty line.
void EchoLine(const std::string& line) {
  std::string out = line;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  out += '\n';
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

std::string HistoryPath(tarnwick::ISystemInfo& system) {
  return system.LogFolder() + system.PathSeparator() + std::string(tarnwick::kHistoryFileName);
}

}  // namespace

int main(int argc, char* argv[]) {
  // --history and --export-history print or write the usage history and end the program before
  // any window exists.
  {
    tarnwick::LinuxSystemInfo system;
    tarnwick::SystemClock clock;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto status = tarnwick::RunHistoryCommandLine(args, HistoryPath(system), clock)) {
      return *status;
    }
  }
  const bool headless = !HasDisplay();
  if (headless) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || *platform == '\0') setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  // The window hides into the tray; only the model's quit request ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  tarnwick::SystemClock clock;
  tarnwick::QtUiServices ui(headless);
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
  tarnwick::MainWindowDeps deps{clock, ui, system, cpuCounters, memory, processes, sound, files};
  deps.urlTransport = &transport;
  deps.mailerLauncher = &mailerLauncher;
  deps.smtpClient = &smtpClient;
  tarnwick::PidfdProcessKiller killer;
  deps.processKiller = &killer;
  tarnwick::XdgAutostart autostart(files, tarnwick::XdgConfigFolder(),
                                   system.ProgramFolder() + "/tarnwick");
  if (!headless) deps.autostart = &autostart;
  tarnwick::MainWindowModel model(deps);
  if (headless) model.log().SetEcho(EchoLine);

  // The usage history; declared after the model, so its last write still has the log.
  tarnwick::ProcessTopScan topScan(
      processes, clock, system.ProcessorCount(), [&model] { return model.totalMemory; },
      system.ExecutableSuffix());
  tarnwick::SqliteHistoryStore historyStore(HistoryPath(system));
  tarnwick::HistoryRecorder history(
      clock, historyStore, [&model](const std::string& line) { model.WriteLog(line); }, &topScan);
  model.SetHistoryRecorder(&history);

  tarnwick::MainWindow window(model);
  view = &window;
  tarnwick::HistoryWindowModel historyModel(clock, model.settings, &historyStore, &history);
  tarnwick::HistoryWindow historyView(historyModel);
  tarnwick::AddHistoryMenu(window, historyModel, historyView);
  tarnwick::HeadlessStatus status(EchoLine);
  if (headless) {
    window.SetUnseen(true);
    window.SetAfterRender([&status, &model] { status.Report(model); });
  }
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

  model.OnLoad();
  window.Render();
  const int exitCode = QApplication::exec();
  // Ending the program ends monitoring; the history says so (and writes what it holds).
  if (model.MonitoringOn()) {
    history.RecordEvent(tarnwick::HistoryEventKind::MonitoringStopped,
                        std::string(tarnwick::kMonitoringStopped));
  }
  return exitCode;
}
