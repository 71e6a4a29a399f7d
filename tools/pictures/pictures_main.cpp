// tarnwick_pictures OUT_DIR: shows the main window over the machine's real figures, then each
// settings dialog through its model's menu command, and saves every window as a PNG in OUT_DIR
// (main-window.png, alert-settings.png, smtp-settings.png, program-monitor.png). The program
// folder is a temporary one with sample settings, so the pictures never depend on the settings
// of whoever runs it; the program monitor watches the X server that the pictures are drawn on.
// Nothing leaves the machine: there is no web service transport, no mailer, no sound, and the
// process killer refuses every termination.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <string>

#include "alert_setting_dialog.h"
#include "common/clock.h"
#include "main_window.h"
#include "monitor/main_window_model.h"
#include "pgm_setup_dialog.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/process_killer.h"
#include "platform/sound_player.h"
#include "process/program_settings.h"
#include "qt_ui_services.h"
#include "settings/settings_store.h"
#include "smtp_server_dialog.h"

namespace tarnwick {
namespace {

// The machine's facts, with the program and log folders of the pictures' own.
class PictureSystemInfo final : public ISystemInfo {
 public:
  explicit PictureSystemInfo(std::string folder) : folder_(std::move(folder)) {}
  int ProcessorCount() override { return real_.ProcessorCount(); }
  std::string ComputerName() override { return real_.ComputerName(); }
  std::string ProgramFolder() override { return folder_; }
  std::string LogFolder() override { return folder_ + "/monitor_log"; }
  std::string PathSeparator() override { return "/"; }
  std::string ExecutableSuffix() override { return ""; }
  std::string OwnExecutableName() override { return "tarnwick"; }
  bool EnsureFolder(const std::string& path) override { return real_.EnsureFolder(path); }
  // A picture needs no priority.
  void RaisePriority() override {}

 private:
  LinuxSystemInfo real_;
  std::string folder_;
};

class Silence final : public ISoundPlayer {
 public:
  void PlayWav(const std::string&) override {}
};

class RefusingKiller final : public IProcessKiller {
 public:
  bool KillProcess(int, uint64_t) override { return false; }
};

// Settings as an administrator would have them: alerts, the kill rule and the warning sound on,
// and a second SMTP server with the "I am alive" notice.
void WriteSampleSettings(const SettingsStore& store) {
  Settings s;
  s.TimeInterval = "5";
  s.cpu_High = "85";
  s.mem_High = "90";
  s.num_High = "10";
  s.host_Name = "WEB01 (web server)";
  s.Enable_log = 1;
  s.KillProc = 1;
  s.num_Kill = "8";
  s.Killopt = true;
  s.PnameList = "java,node,convert";
  s.Enable_sound = 1;
  s.filMusic = "/opt/tarnwick/alert.wav";
  s.soundOn = 1;
  s.soundFrom = "8";
  s.soundTo = "19";
  s.Enable_alert = 1;
  s.smsEmail = "ops@example.org";
  s.smsPassword = "secret";
  s.smsPhone = "+15550100,+447700900123";
  s.Mail_List = "ops@example.org,boss@example.org";
  s.max_SMS = "20";
  s.schAlert = 1;
  s.smsFrom = "7";
  s.smsTo = "22";
  s.Enable_SMTP = 1;
  s.mailSvr = "mail.example.org";
  s.SMTPport = "587";
  s.mailFrom = "monitor@example.org";
  s.MailUser = "monitor@example.org";
  s.MailPass = "smtp-secret";
  s.alive_Email = 1;
  s.min_Select = "60";
  s.mailTo1 = "admin@example.org";
  store.SaveSettings(s);
  store.SaveSMTPSettings(s);
}

// The program monitor watches the X server the pictures are drawn on.
void WriteSampleProgramSettings(const std::string& folder) {
  ProgramSettings p;
  p.pgmMonitorF = 1;
  p.pgmNameF = "xvfb";
  p.pgmCPUsetF = 60;
  p.pgmMEMsetF = 25;
  p.pgmAlertSetF = 5;
  p.pgmKillF = 0;
  p.pgmSoundF = 1;
  p.pgmFileSoundF = "/opt/tarnwick/alert1.wav";
  QFile file(QString::fromStdString(folder + "/" + std::string(kProgramSettingFileName)));
  const std::string content = FormatProgramSettingFile(p);
  if (file.open(QIODevice::WriteOnly))
    file.write(content.data(), static_cast<qint64>(content.size()));
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

int Run(const QString& outDir) {
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
  WriteSampleSettings(SettingsStore(programFolder, "/"));
  WriteSampleProgramSettings(programFolder);

  SystemClock clock;
  QtUiServices ui;
  PictureSystemInfo system(programFolder);
  ProcCpuCounters cpuCounters;
  ProcMemoryReader memory;
  ProcProcessLister processes;
  Silence sound;
  RefusingKiller killer;
  MainWindowDeps deps{clock, ui, system, cpuCounters, memory, processes, sound};
  deps.processKiller = &killer;
  MainWindowModel model(deps);
  MainWindow window(model);
  ui.SetBeforeEvents([&window] { window.Render(); });
  model.OnLoad();
  window.Render();
  // One monitor cycle a second after start, so the gauges show the machine's load.
  Settle(1000);
  model.cycleCountdown = 1;
  model.OnTmrUpdateTick();
  window.Render();

  QDir().mkpath(outDir);
  bool ok = Save(&window, outDir + "/main-window.png");
  model.OnSetupClick();
  window.Render();
  ok = Save(window.alertSettingDialog(), outDir + "/alert-settings.png") && ok;
  model.OnSMTPsetupClick();
  window.Render();
  ok = Save(window.smtpServerDialog(), outDir + "/smtp-settings.png") && ok;
  model.OnMPGMSetupClick();
  window.Render();
  PgmSetupDialog* program = window.pgmSetupDialog();
  if (program != nullptr && !program->findChildren<QWidget*>().isEmpty()) {
    ok = Save(program, outDir + "/program-monitor.png") && ok;
  } else {
    std::printf("program monitor dialog has no controls yet: no picture\n");
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  return tarnwick::Run(QString::fromLocal8Bit(argv[1]));
}
