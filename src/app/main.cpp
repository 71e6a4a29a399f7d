// The Tarnwick desktop program: the main window over the Linux services. Started without a
// display it runs headless on Qt's offscreen platform, answers its own message boxes and echoes
// the activity log to standard output.
#include <QApplication>
#include <QObject>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/clock.h"
#include "headless_status.h"
#include "main_window.h"
#include "monitor/main_window_model.h"
#include "platform/curl/curl_smtp_client.h"
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
#include "qt_ui_services.h"
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

}  // namespace

int main(int argc, char* argv[]) {
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
  tarnwick::QtUrlTransport network;
  tarnwick::MainWindow* view = nullptr;
  tarnwick::RenderingTransport transport(network, [&view] {
    if (view != nullptr) view->Render();
  });
  tarnwick::PosixMailerLauncher mailerLauncher;
  tarnwick::CurlSmtpClient smtpClient;
  tarnwick::MainWindowDeps deps{clock, ui, system, cpuCounters, memory, processes, sound};
  deps.urlTransport = &transport;
  deps.mailerLauncher = &mailerLauncher;
  deps.smtpClient = &smtpClient;
  tarnwick::PidfdProcessKiller killer;
  deps.processKiller = &killer;
  tarnwick::PosixFileSystem files;
  tarnwick::XdgAutostart autostart(files, tarnwick::XdgConfigFolder(),
                                   system.ProgramFolder() + "/tarnwick");
  if (!headless) deps.autostart = &autostart;
  tarnwick::MainWindowModel model(deps);
  if (headless) model.log().SetEcho(EchoLine);

  tarnwick::MainWindow window(model);
  view = &window;
  tarnwick::HeadlessStatus status(EchoLine);
  if (headless) window.SetAfterRender([&status, &model] { status.Report(model); });
  QObject::connect(&window, &tarnwick::MainWindow::programEnding, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  // Letting events run inside a handler shows the model's state as it is at that moment (the
  // busy caption while the CPU is sampled, for one).
  ui.SetBeforeEvents([&window] { window.Render(); });

  // A signal ends the program the way closing the window does.
  tarnwick::TerminationSignals termination;
  QObject::connect(&termination, &tarnwick::TerminationSignals::terminationRequested, &window,
                   &QWidget::close);

  model.OnLoad();
  window.Render();
  return QApplication::exec();
}
