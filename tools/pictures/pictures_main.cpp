// tarnwick_pictures OUT_DIR [dark]: shows the main window over the machine's real figures, then
// each settings dialog through its model's menu command, and saves every window as a PNG in OUT_DIR
// (main-window.png, alert-settings.png, smtp-settings.png, program-monitor.png), the History
// window over two sample days of usage history with its first alert selected (history.png), and the
// Processes window over the machine's own processes (processes.png). The program
// folder is a temporary one with sample settings, so the pictures never depend on the settings
// of whoever runs it; the program monitor watches the X server that the pictures are drawn on.
// Nothing leaves the machine: there is no web service transport, no mailer, no sound, and the
// process killer refuses every termination. With "dark" the windows are drawn under a dark theme
// and the files end in "-dark.png".
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPalette>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <string>

#include "alert_setting_dialog.h"
#include "common/clock.h"
#include "domain/history_time.h"
#include "engine/engine.h"
#include "forms/main_window_model.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "pgm_setup_dialog.h"
#include "picture_samples.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/owner_only_file.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_user_names.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "qt_ui_services.h"
#include "settings/settings_store.h"
#include "smtp_server_dialog.h"

namespace tarnwick {
namespace {

// A Linux web server, whose program monitor watches the X server the pictures are drawn on.
pictures::SampleMachine LinuxMachine() {
  pictures::SampleMachine m;
  m.soundFolder = "/opt/tarnwick";
  m.separator = "/";
  m.killList = "java,node,convert";
  m.watchedProgram = "xvfb";
  m.backup = "pg_dump";
  m.database = "postgres";
  m.afternoon = "cc1plus";
  m.daytime = "firefox";
  m.second = "Xorg";
  return m;
}

// Lets the window system catch up (mapping, layout, painting) for about `ms` milliseconds.
void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget* window, const QString& path) {
  if (window == nullptr) return false;
  Settle(300);
  const bool saved = window->grab().save(path, "PNG");
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

// A dark theme as desktop tools make it: light text on dark greys.
QPalette DarkPalette() {
  const QColor window(0x35, 0x35, 0x35);
  const QColor base(0x2a, 0x2a, 0x2a);
  const QColor text(0xf0, 0xf0, 0xf0);
  QPalette p(text, window, QColor(0x50, 0x50, 0x50), QColor(0x20, 0x20, 0x20),
             QColor(0x28, 0x28, 0x28), text, QColor(0xff, 0x55, 0x55), base, window);
  p.setColor(QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
  p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
  p.setColor(QPalette::HighlightedText, text);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
  return p;
}

int Run(const QString& outDir, const QString& suffix) {
  QTemporaryDir root;
  if (!root.isValid()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  const QString folder = root.path();
  const QString ownFolder = QCoreApplication::applicationDirPath();
  for (const char* asset : {"eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav", "Hand-m.cur"}) {
    QFile::copy(ownFolder + "/" + asset, folder + "/" + asset);
  }
  const std::string programFolder = folder.toStdString();
  SystemClock clock;
  QtUiServices ui;
  PosixFileSystem files;
  const pictures::SampleMachine machine = LinuxMachine();
  SettingsStore sampleStore(files, programFolder, "/");
  pictures::WriteSampleSettings(machine, sampleStore, ui);
  pictures::WriteSampleProgramSettings(machine, files, programFolder);

  LinuxSystemInfo realSystem;
  pictures::PictureSystemInfo system(realSystem, programFolder);
  ProcCpuCounters cpuCounters;
  ProcMemoryReader memory;
  ProcProcessLister processes;
  pictures::Silence sound;
  pictures::RefusingKiller killer;
  EngineDeps deps{clock, system, cpuCounters, memory, processes, sound, files};
  deps.events = &ui;
  deps.processKiller = &killer;
  Engine engine(deps);
  MainWindowModel model(engine, {ui});
  MainWindow window(model);
  ui.SetBeforeEvents([&window] { window.Render(); });
  model.OnLoad();
  window.Render();
  // One monitor cycle a second after start, so the gauges show the machine's load.
  Settle(1000);
  engine.cycleCountdown = 1;
  model.OnTmrUpdateTick();
  window.Render();

  QDir().mkpath(outDir);
  bool ok = Save(&window, outDir + "/main-window" + suffix + ".png");
  model.OnSetupClick();
  window.Render();
  ok = Save(window.alertSettingDialog(), outDir + "/alert-settings" + suffix + ".png") && ok;
  model.OnSMTPsetupClick();
  window.Render();
  ok = Save(window.smtpServerDialog(), outDir + "/smtp-settings" + suffix + ".png") && ok;
  model.OnMPGMSetupClick();
  window.Render();
  PgmSetupDialog* program = window.pgmSetupDialog();
  if (program != nullptr && !program->findChildren<QWidget*>().isEmpty()) {
    ok = Save(program, outDir + "/program-monitor" + suffix + ".png") && ok;
  } else {
    std::printf("program monitor dialog has no controls yet: no picture\n");
  }

  SqliteHistoryStore historyStore(programFolder + "/Tarnwick_history.sqlite");
  const int64_t now = ToHistorySeconds(clock.Now());
  const int64_t alertAt = pictures::WriteSampleHistory(machine, historyStore, now);
  HistoryWindowModel history(clock, engine.settings, &historyStore, nullptr,
                             {&ui, &CreateOwnerOnlyFile, programFolder});
  HistoryWindow historyView(history);
  historyView.resize(1000, 860);
  history.Show();
  pictures::ShowSampleNight(history, alertAt, now);
  historyView.Render();
  ok = Save(&historyView, outDir + "/history" + suffix + ".png") && ok;

  // The live processes, with a run of samples over the thresholds so that the kill rule has a
  // pick: the thresholds are lowered for the picture only (nothing is saved).
  PosixUserNames userNames;
  ProcessesWindowModel processesModel(engine.processSampler(), engine, system.ExecutableSuffix(),
                                      &userNames);
  Listening processesListening(engine, processesModel);
  ProcessesWindow processesView(processesModel);
  pictures::UseProcessesPictureSettings(engine.settings);
  processesModel.Show();
  processesView.Render();
  for (int cycle = 0; cycle < 3; ++cycle) {
    Settle(1000);
    engine.cycleCountdown = 1;
    model.OnTmrUpdateTick();
  }
  processesView.Render();
  ok = Save(&processesView, outDir + "/processes" + suffix + ".png") && ok;
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const bool dark = argc == 3 && std::string(argv[2]) == "dark";
  if (argc != 2 && !dark) {
    std::fprintf(stderr, "usage: %s OUT_DIR [dark]\n", argv[0]);
    return 2;
  }
  if (dark) QApplication::setPalette(tarnwick::DarkPalette());
  return tarnwick::Run(QString::fromLocal8Bit(argv[1]), dark ? QStringLiteral("-dark") : QString());
}
