// The main window frmMain as a model: the state of its controls under their names, its event
// handlers, the monitoring lifecycle and the monitor cycle. The Qt view renders this state and
// forwards events to it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/alert_sender.h"
#include "engine/service_session.h"
#include "common/clock.h"
#include "history/history_recorder_hook.h"
#include "metrics/metrics_hook.h"
#include "engine/activity_log.h"
#include "engine/cpu_sampler.h"
#include "controls/form_controls.h"
#include "controls/gauge.h"
#include "engine/process_ranking.h"
#include "platform/autostart.h"
#include "platform/cpu_counters.h"
#include "platform/file_system.h"
#include "platform/mailer_launcher.h"
#include "platform/memory_reader.h"
#include "platform/process_killer.h"
#include "platform/process_list.h"
#include "platform/smtp_client.h"
#include "platform/sound_player.h"
#include "platform/system_info.h"
#include "platform/ui_services.h"
#include "platform/url_transport.h"
#include "engine/program_monitor_hook.h"
#include "engine/top_process_killer.h"
#include "forms/alert_setting_model.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace tarnwick {

inline constexpr std::string_view kProgramTitle = "Tarnwick V4.3 ";
inline constexpr std::string_view kMonitoringStarted = "Monitoring Started";
inline constexpr std::string_view kMonitoringStopped = "Monitoring Stopped";
inline constexpr std::string_view kBusyCaption = "Waiting to get CPU usage information...";
inline constexpr size_t kTrayTipLimit = 63;
// Shown with the system's reason when the session's start entry cannot be written or removed.
inline constexpr std::string_view kAutostartFailed =
    "Could not change the start with the desktop session: ";

// The platform services the main window works with.
struct MainWindowDeps {
  IClock& clock;
  IUiServices& ui;
  ISystemInfo& system;
  ICpuCounterSource& cpuCounters;
  IMemoryReader& memory;
  IProcessLister& processes;
  ISoundPlayer& sound;
  // The settings files and the daily log.
  IFileSystem& files;
  // The web service's transport and the mailer's launcher. Without them (the bare core, as in
  // benchmarks) no alert leaves the program and every login takes the no-account path.
  IUrlTransport* urlTransport = nullptr;
  IMailerLauncher* mailerLauncher = nullptr;
  // Terminates processes; without it no process is ever terminated and the program monitor is
  // off.
  IProcessKiller* processKiller = nullptr;
  // Sends the SMTP settings dialog's test mail in-process, without waiting for the server.
  IAsyncSmtpClient* smtpClient = nullptr;
  // The desktop session's start entry; without it the File menu has no such item.
  IAutostart* autostart = nullptr;
};

class AlertDelivery;
class ProcessControl;
class SmtpServerModel;

// Told at the end of every monitor cycle, after both watches (the Processes window reads the
// cycle's process scan there).
class ICycleObserver {
 public:
  virtual ~ICycleObserver() = default;
  virtual void AfterCycle(long cycle) = 0;
};

// The state of one watch of the monitor cycle (CPU or memory).
struct WatchState {
  int16_t count = 0;      // consecutive exceeding samples since the last normal one or alert
  std::string firstTime;  // "hh:mm:ss" of the first of them, or empty
  bool exceeded = false;  // a sample exceeded since the last normal sample
  int16_t raised = 0;     // 1 from the alert until the next normal sample
  int16_t reported = 0;   // raised as it was when an alert or notice last went out
};

class MainWindowModel {
 public:
  explicit MainWindowModel(MainWindowDeps deps);
  ~MainWindowModel();

  // ---- Event handlers ----
  void OnLoad();
  void OnTmrUpdateTick();
  void OnCommand1Click();
  void OnMStartClick();
  void OnLoginClick();
  // The window was resized or changed state (minimised or not). Minimised, it hides into the
  // tray, but only while the tray shows its entry. Otherwise the tray's Start/Stop entry is
  // hidden, and `size` (the window's size when not maximised) is what the window keeps from now
  // on, also when it comes back from the tray.
  void OnResize(WindowState state, std::optional<FormSize> size = std::nullopt);
  void OnTrayDoubleClick();
  // Right button released on the tray icon: shows mStart and asks the view for the pop-up menu.
  void OnTrayRightClick();
  // The window is closed: deletes the tray icon and asks the view to end the program.
  void OnUnload();
  void OnMnuQuitClick();
  void OnMViewLogClick();
  // File > Start with the desktop session: writes or removes the session's start entry.
  void OnMAutostartClick();
  // The setup menu commands: the alert settings, the SMTP settings and the program monitor's
  // settings, each shown modeless.
  void OnSetupClick();
  void OnSMTPsetupClick();
  void OnMPGMSetupClick();
  // Timer4: the midnight duties. Timer5: the "I am alive" countdown.
  void OnTimer4Tick();
  void OnTimer5Tick();

  // ---- Operations ----
  void SetMonitoring(bool on);
  // Places the form in the middle of the screen. `geometry` follows the window wherever the
  // user moves it, so the centre is a new place even after a move.
  void CenterForm(FormGeometry& form);
  // One monitor cycle: one CPU and one memory sample, both watches.
  void Monitor();
  // Refreshes availableMemory and usedMemory.
  void GetMemoryInfo();
  // Plays the WAV file unless its name is blank.
  void PlayAlertSound(const std::string& soundFile);
  void WriteLog(const std::string& message) { log_.WriteLog(message); }
  // Takes the caption and icon into the tray entry.
  void UpdateTray();
  // Starts a login to the web service (monitoring waits for its reply).
  void ServiceLogin();
  // The file picker of the dialogs' sound buttons: an existing WAV file, starting in the
  // program's folder; nullopt when cancelled.
  std::optional<std::string> PickSoundFile();
  // Writes setting.ini from the settings with `enter` applied to them. Only once the file is
  // written does `enter` reach the settings in force; then the cycle countdown restarts with the
  // new interval and the status captions are refreshed. False when it was not written (the user
  // was told why): nothing changed, not even while the user was told, as the monitor runs on
  // behind a message box.
  bool SaveSettings(const std::function<void(Settings&)>& enter);

  // ---- Controls ----
  std::string caption;
  std::string iconPath;
  bool enabled = true;
  bool visible = true;
  WindowState windowState = WindowState::Normal;
  FormGeometry geometry{0, 0, 620, 560};

  Button Command1{"Start", kColorRed, true};
  Timer tmrUpdate{false, 1000};
  Timer Timer4{false, 60000};
  Timer Timer5{false, 60000};
  Gauge CPU_Progress;
  Gauge RAM_Progress;
  Label lblCPUValue[2];
  Label lblRamValue[3];
  Label lblRamDisp[3]{{"Total"}, {"Free"}, {"Used"}};
  Label lblCPU_count;
  Label lblmem_Count;
  Label lbl_lastTime;
  Label Label5{"Last time check :"};
  Label lblTimeinterval;
  Label lblNum;
  Label lbl_Threshold[2];
  Label lblNum_count[2];
  Label Label4;
  Label Label7{"0"};
  std::string Frame1Caption = "CPU";
  std::string Frame3Caption = "Memory (MB)";
  // Program monitor labels: name in the CPU frame (0) and memory frame (2), values, thresholds,
  // counts and alert numbers.
  Label Label6[3];
  Label pgmCPU{"--"}, pgmMEM{"--"}, pgmCPU_Setting, pgmMEM_Setting;
  Label pgmCPU_count{"--"}, pgmMEM_Count{"--"}, pgmCPU_Warn, pgmMEM_Alert;

  MenuItem Setup{"&Setup "};
  MenuItem mPGMSetup{"&Setup to monitor a specific program"};
  MenuItem SMTPsetup{"&Setup SMTP server"};
  MenuItem Login{"&Login"};
  // The tray menu's Start/Stop entry; the window's own File menu never shows it.
  MenuItem mStart{"Start", false};
  MenuItem mAutostart{"Start with the desktop session"};
  MenuItem mnuQuit{"&Quit"};
  MenuItem mViewLog{"&View Log"};

  // The tray entry.
  bool trayAdded = false;
  // The desktop shows the tray entry (the view keeps this in line with the desktop). Without a
  // tray a minimised window stays on the task bar: hidden, nothing could bring it back.
  bool trayShown = false;
  std::string trayTip;
  std::string trayIconPath;

  // One-shot requests to the view, cleared by it once carried out.
  bool quitRequested = false;
  bool trayMenuRequested = false;
  bool foregroundRequested = false;

  // ---- Process-wide values ----
  Settings settings;
  ServiceSession session;
  WatchState cpuWatch;
  WatchState memWatch;
  RankingResults ranking;
  KillResults kill;
  int16_t processorCount = 1;
  int16_t cycleCountdown = 0;
  int16_t aliveCountdown = 0;
  double totalMemoryMB = 0;
  int64_t totalMemory = 0;      // bytes; negative when the RAM reader failed
  int64_t availableMemory = 0;  // bytes
  int64_t usedMemory = 0;       // bytes
  std::string lastUsageLine;
  std::string stopIconPath;
  std::string runIconPath;

  ActivityLog& log() { return log_; }
  AlertSettingModel& alertSetting() { return alertSetting_; }
  SettingsStore& store() { return store_; }
  MainWindowDeps& deps() { return deps_; }

  // The alert delivery, when the program has a transport and a mailer launcher.
  AlertDelivery* delivery() { return delivery_.get(); }
  // Process control, when the program can terminate processes.
  ProcessControl* processControl() { return processControl_.get(); }
  SmtpServerModel& smtpServer() { return *smtpServer_; }
  // The dispatcher that receives alerts (null without a delivery).
  IAlertSender* alertSender() { return alertSender_; }
  // An alert or notice written now would go out: logged in, alerts on, and a dispatcher.
  bool AlertsGoOut() const {
    return session.loggedIn && settings.Enable_alert == 1 && alertSender_ != nullptr;
  }
  // Replaces the dispatcher that receives the watches' alerts.
  void SetAlertSender(IAlertSender* sender) { alertSender_ = sender; }
  void SetProgramMonitor(IProgramMonitor* monitor) { programMonitor_ = monitor; }
  void SetTopProcessKiller(ITopProcessKiller* killer) { killer_ = killer; }
  // The usage history that records cycles and events; null records nothing.
  void SetHistoryRecorder(IHistoryRecorder* history) { history_ = history; }
  IHistoryRecorder* historyRecorder() { return history_; }
  // The metrics that count the watches' events; null counts nothing.
  void SetMetricsHook(IMetricsHook* metrics) { metrics_ = metrics; }
  IMetricsHook* metricsHook() { return metrics_; }
  // Monitoring is on (switched on and not stopped since).
  bool MonitoringOn() const { return monitoringOn_; }
  // The one process scan of each cycle, shared by the ranking and whoever shows processes.
  ProcessSampler& processSampler() { return processSampler_; }
  // The number of the latest monitor cycle (0 before the first).
  long cycleNumber() const { return cycleNumber_; }
  void SetCycleObserver(ICycleObserver* observer) { cycleObserver_ = observer; }

 private:
  enum class WatchKind { Cpu, Memory };
  void ApplyDefaultSettings();
  void WriteStatusCaptions(bool withTimeInterval);
  void ResetWatchesForStart();
  void ShowRunningLook();
  void ShowStoppedLook();
  void InitCpuSampler();
  struct Sample {
    int cpu = 0;          // CPU sample of this cycle (-1 when the measurement failed)
    int mem = 0;          // memory percentage of this cycle
    int64_t totalMB = 0;  // whole megabytes of total memory
  };
  void RunWatch(WatchKind kind, const Sample& sample);
  void ExceedingSample(WatchKind kind, const Sample& sample);
  void RaiseAlert(WatchKind kind, const Sample& sample);
  void NormalSample(WatchKind kind, const Sample& sample);
  void PlayWarningSound();
  void RankCpuWithBusyLook();
  std::string KillTopProcess(const TopHistory& history);
  // Hands an alert or back-to-normal to the usage history, with its message and whether it was
  // handed on to be sent.
  void RecordAlert(HistoryEvent event, const std::string& message, bool sent);

  MainWindowDeps deps_;
  ActivityLog log_;
  SettingsStore store_;
  AlertSettingModel alertSetting_;
  std::unique_ptr<CpuSampler> cpuSampler_;
  ProcessSampler processSampler_;
  std::unique_ptr<ProcessRanking> ranker_;
  std::unique_ptr<AlertDelivery> delivery_;
  std::unique_ptr<ProcessControl> processControl_;
  std::unique_ptr<SmtpServerModel> smtpServer_;
  IAlertSender* alertSender_ = nullptr;
  IProgramMonitor* programMonitor_ = nullptr;
  ITopProcessKiller* killer_ = nullptr;
  IHistoryRecorder* history_ = nullptr;
  ICycleObserver* cycleObserver_ = nullptr;
  IMetricsHook* metrics_ = nullptr;
  bool monitoringOn_ = false;
  long cycleNumber_ = 0;
};

}  // namespace tarnwick
