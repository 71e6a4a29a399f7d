// tarnwick_pictures OUT_DIR: shows the main window over the machine's real figures, then each
// settings dialog through its model's menu command, and saves every window as a PNG in OUT_DIR
// (main-window.png, alert-settings.png, smtp-settings.png, program-monitor.png), the History
// window over a sample day of usage history with its first alert selected (history.png), and the
// Processes window over the machine's own processes (processes.png). The program
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
#include "monitor/processes_window_model.h"
#include "pgm_setup_dialog.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_memory_reader.h"
#include "platform/linux/proc_process_lister.h"
#include "platform/owner_only_file.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_user_names.h"
#include "platform/process_killer.h"
#include "platform/sound_player.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "process/program_settings.h"
#include "processes_window.h"
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

HistoryEvent WatchEvent(int64_t t, HistoryEventKind kind, HistoryWatch watch, double value,
                        std::string top, SendState sent, std::string text) {
  HistoryEvent e;
  e.t = t;
  e.kind = kind;
  e.watch = watch;
  e.value = value;
  e.top = std::move(top);
  e.sent = sent;
  e.text = std::move(text);
  return e;
}

// A sample day of history ending now: quiet load with a backup run at 3 a.m. that raised a CPU
// and a memory alert (the CPU alert repeated, logged only), a build in the afternoon, and a top
// list every minute. Returns the time of the night's first CPU alert.
int64_t WriteSampleHistory(IHistoryStore& store, int64_t now) {
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
      mem = minute >= 3 * 60 + 5 && minute < 3 * 60 + 16 ? 92 : 71;
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
  // The moment of the day at hh:mm:ss within the sample day.
  auto at = [start](int seconds) { return start + (seconds - (start % 86400) + 86400) % 86400; };
  const int64_t alertAt = at(3 * 3600 + 2 * 60 + 30);
  using K = HistoryEventKind;
  using W = HistoryWatch;
  b.events.push_back({at(7 * 3600 + 58 * 60), K::MonitoringStarted, "Monitoring Started"});
  b.events.push_back(WatchEvent(alertAt, K::AlertRaised, W::Cpu, 96, "pg_dump", SendState::Sent,
                                "12-04 03:02:30 WEB01 (web server) CPU 96% exceed 85% for 50 "
                                "sec.(10 times).TOP1 : pg_dump 88% @03:02:25 *pg_dump(10)"));
  b.events.push_back(WatchEvent(at(3 * 3600 + 10 * 60 + 10), K::AlertRaised, W::Memory, 92,
                                "postgres", SendState::Sent,
                                "12-04 03:10:10 WEB01 (web server) MEMORY 92% exceed 90% for 50 "
                                "sec.(10 times).TOP1 : postgres 4915.2M(31%) @03:10:05 "
                                "*postgres(10)"));
  b.events.push_back(WatchEvent(at(3 * 3600 + 12 * 60 + 30), K::AlertRaised, W::Cpu, 97, "pg_dump",
                                SendState::LogOnly,
                                "12-04 03:12:30 WEB01 (web server) CPU 97% exceed 85% for 50 "
                                "sec.(10 times).TOP1 : pg_dump 89% @03:12:20 *pg_dump(10) (Not "
                                "first time,log only)"));
  b.events.push_back(WatchEvent(at(3 * 3600 + 16 * 60 + 5), K::BackToNormal, W::Memory, 71, "",
                                SendState::Sent, "MEM 71% back to normal"));
  b.events.push_back(WatchEvent(at(3 * 3600 + 25 * 60 + 5), K::BackToNormal, W::Cpu, 12, "",
                                SendState::Sent, "CPU 12% back to normal"));
  store.Append(b);
  return alertAt;
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
  const int64_t alertAt = WriteSampleHistory(historyStore, ToHistorySeconds(clock.Now()));
  HistoryWindowModel history(clock, model.settings, &historyStore, nullptr,
                             {&ui, &CreateOwnerOnlyFile, programFolder});
  HistoryWindow historyView(history);
  historyView.resize(1000, 860);
  history.Show();
  // The night, as an administrator looking into it would zoom in on it, with its first alert
  // picked from the list.
  history.OnZoom(alertAt - 40 * 60, alertAt + 50 * 60);
  for (size_t row = 0; row < history.eventRows.size(); ++row) {
    if (history.eventRows[row].t == alertAt) history.OnEventSelect(static_cast<int>(row));
  }
  historyView.Render();
  ok = Save(&historyView, outDir + "/history.png") && ok;

  // The live processes, with a run of samples over the thresholds so that the kill rule has a
  // pick: the thresholds are lowered for the picture only (nothing is saved).
  PosixUserNames userNames;
  ProcessesWindowModel processesModel(model, &userNames);
  ProcessesWindow processesView(processesModel);
  model.settings.cpu_High = "0";
  model.settings.mem_High = "0";
  processesModel.Show();
  processesView.Render();
  for (int cycle = 0; cycle < 3; ++cycle) {
    Settle(1000);
    model.cycleCountdown = 1;
    model.OnTmrUpdateTick();
  }
  processesView.Render();
  ok = Save(&processesView, outDir + "/processes.png") && ok;
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
