// tarnwick_pictures OUT_DIR: shows the main window over the machine's real figures, then each
// settings dialog through its model's menu command, and saves every window as a PNG in OUT_DIR
// (main-window.png, alert-settings.png, smtp-settings.png, program-monitor.png), and the History
// window over a sample day of usage history (history.png). The program
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
#include "history/history_time.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "monitor/main_window_model.h"
#include "pgm_setup_dialog.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/posix/posix_file_system.h"
#include "platform/process_killer.h"
#include "platform/sound_player.h"
#include "platform/sqlite/sqlite_history_store.h"
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
void WriteSampleSettings(SettingsStore& store, IUiServices& ui) {
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
  store.SaveSettings(s, ui);
  store.SaveSMTPSettings(s, ui);
}

// The program monitor watches the X server the pictures are drawn on.
void WriteSampleProgramSettings(IFileSystem& files, const std::string& folder) {
  ProgramSettings p;
  p.pgmMonitorF = 1;
  p.pgmNameF = "xvfb";
  p.pgmCPUsetF = 60;
  p.pgmMEMsetF = 25;
  p.pgmAlertSetF = 5;
  p.pgmKillF = 0;
  p.pgmSoundF = 1;
  p.pgmFileSoundF = "/opt/tarnwick/alert1.wav";
  files.ReplaceFile(folder + "/" + std::string(kProgramSettingFileName),
                    FormatProgramSettingFile(p));
}

// A sample day of history ending now: quiet load with a backup run at 3 a.m. that raised an
// alert, a build in the afternoon, and a top list every minute.
void WriteSampleHistory(IHistoryStore& store, int64_t now) {
  HistoryBatch b;
  // Whole minutes, so the top lists fall on samples.
  const int64_t start = (now - 86400) / 60 * 60;
  for (int64_t t = start; t < now; t += 5) {
    const LocalTime at = FromHistorySeconds(t);
    const int minute = at.hour * 60 + at.minute;
    int cpu = 8 + static_cast<int>((t * 7919) % 9);
    int mem = 46 + static_cast<int>((t / 600) % 5);
    if (minute >= 3 * 60 && minute < 3 * 60 + 25) {
      cpu = 91 + static_cast<int>((t * 31) % 8);
      mem = 71;
    } else if (minute >= 14 * 60 && minute < 14 * 60 + 40) {
      cpu = 55 + static_cast<int>((t * 13) % 25);
      mem = 62;
    }
    b.samples.push_back({t, cpu, mem, mem * 160});
    if (t % 60 == 0) {
      const bool night = minute >= 180 && minute < 205;
      const bool build = minute >= 840 && minute < 880;
      const char* top = night ? "pg_dump" : build ? "cc1plus" : "firefox";
      b.tops.push_back({t, TopKind::Cpu, 1, top,
                        night   ? 41877
                        : build ? 52110
                                : 2310,
                        night   ? 88.0
                        : build ? 47.5
                                : 4.2});
      b.tops.push_back({t, TopKind::Cpu, 2, "Xorg", 1204, 1.1});
      b.tops.push_back({t, TopKind::Memory, 1, night ? "postgres" : "firefox", night ? 880 : 2310,
                        night ? 31.0 : 12.4});
    }
  }
  const int64_t alertAt = start + ((3 * 3600 + 2 * 60 + 30) - (start % 86400) + 86400) % 86400;
  b.events.push_back({alertAt, HistoryEventKind::AlertRaised,
                      "CPU 96% exceed 85% for 50 sec.(10 times).TOP1 : pg_dump 88%", 0, false});
  store.Append(b);
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
  SystemClock clock;
  QtUiServices ui;
  PosixFileSystem files;
  SettingsStore sampleStore(files, programFolder, "/");
  WriteSampleSettings(sampleStore, ui);
  WriteSampleProgramSettings(files, programFolder);

  PictureSystemInfo system(programFolder);
  ProcCpuCounters cpuCounters;
  ProcMemoryReader memory;
  ProcProcessLister processes;
  Silence sound;
  RefusingKiller killer;
  MainWindowDeps deps{clock, ui, system, cpuCounters, memory, processes, sound, files};
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

  SqliteHistoryStore historyStore(programFolder + "/Tarnwick_history.sqlite");
  WriteSampleHistory(historyStore, ToHistorySeconds(clock.Now()));
  HistoryWindowModel history(clock, model.settings, &historyStore, nullptr);
  HistoryWindow historyView(history);
  historyView.resize(900, 760);
  history.Show();
  // The night's process, as an administrator looking for it would pick it.
  for (size_t row = 0; row < history.topRows.size(); ++row) {
    if (history.topRows[row].name == "pg_dump") history.OnTopDoubleClick(static_cast<int>(row));
  }
  historyView.Render();
  Settle(300);
  // The pointer on the night's peak.
  if (!history.alerts.empty()) history.OnHover(history.alerts.front().t);
  historyView.Render();
  ok = Save(&historyView, outDir + "/history.png") && ok;
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
