// The Tarnwick desktop program: the main window over the Linux services. Started without a
// display it hands over to tarnwickd, the program without a window, beside it.
#include <unistd.h>

#include <QApplication>
#include <QObject>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/clock.h"
#include "main_window.h"
#include "monitor/main_window_model.h"
#include "platform/curl/curl_smtp_client.h"
#include "platform/linux/alsa_sound_player.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/pidfd_process_killer.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/posix/posix_mailer_launcher.h"
#include "platform/qt/qt_url_transport.h"
#include "qt_ui_services.h"
#include "rendering_transport.h"
#include "termination_signals.h"

namespace {

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

}  // namespace

int main(int argc, char* argv[]) {
  if (ShouldHandOver()) return HandOver(argc, argv);
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
  tarnwick::MainWindowModel model(deps);

  tarnwick::MainWindow window(model);
  view = &window;
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
