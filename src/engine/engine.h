// The monitor without a window: the cycle with its two watches, the ranking, the termination, the
// dispatcher's decisions, the web service session, the program monitor and the scheduled
// notices. It makes each decision once, writes the activity log's line for it, and announces it as
// a typed result (results/) to its listeners. The desktop programs' form models, the usage history,
// the metrics and the Event Log are such listeners; tarnwickd runs the engine without any window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/form_controls.h"
#include "engine/activity_log.h"
#include "engine/alert_sender.h"
#include "engine/cpu_sampler.h"
#include "engine/engine_deps.h"
#include "engine/process_ranking.h"
#include "engine/program_monitor_hook.h"
#include "engine/service_session.h"
#include "engine/top_process_killer.h"
#include "results/engine_listener.h"
#include "results/engine_status.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace tarnwick {

class AlertDelivery;
class ProcessControl;

// The state of one watch of the monitor cycle (CPU or memory).
struct WatchState {
  int16_t count = 0;      // consecutive exceeding samples since the last normal one or alert
  std::string firstTime;  // "hh:mm:ss" of the first of them, or empty
  bool exceeded = false;  // a sample exceeded since the last normal sample
  int16_t raised = 0;     // 1 from the alert until the next normal sample
  int16_t reported = 0;   // raised as it was when an alert or notice last went out
};

// Who switches monitoring on or off: each does a little more or less than the others.
enum class MonitoringSwitch {
  Login,   // a login began (off) or ended (on)
  Button,  // the Start/Stop button: also the log line, the program monitor's full reset and the
           // "I am alive" timer
  Tray,    // the tray menu's Start/Stop: the timer and the look only
};

// The web service account a login uses: the settings' by default; the desktop programs log in
// with what the alert settings dialog's boxes hold.
struct LoginAccount {
  std::string email;
  std::string password;
};

class Engine final : public IStatusSource {
 public:
  explicit Engine(EngineDeps deps);
  ~Engine() override;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ---- Listeners ----
  // Announcements go to every listener in the order they began to listen.
  void Listen(IEngineListener* listener);
  void Unlisten(IEngineListener* listener);

  // ---- Start-up and switches ----
  // Everything the start needs before the login: processors, log folder, memory, the settings
  // files, the watches, the CPU sampler and the timers.
  void Load();
  // Starts a login to the web service (monitoring waits for its reply).
  void ServiceLogin();
  void SwitchMonitoring(bool on, MonitoringSwitch by);
  // Monitoring is on (switched on and not stopped since).
  bool MonitoringOn() const { return monitoringOn_; }
  void SetLoginAccountSource(std::function<LoginAccount()> source) {
    loginAccount_ = std::move(source);
  }
  LoginAccount AccountForLogin();

  // ---- Timers: the cycle (every second while monitoring), the minute and the notice ----
  Timer cycleTimer{false, 1000};
  Timer minuteTimer{false, 60000};
  Timer aliveTimer{false, 60000};
  // Counts the cycle down; at 0 runs one cycle of both watches and the program monitor.
  void OnCycleTimer();
  // The midnight duties.
  void OnMinuteTimer();
  // The "I am alive" countdown.
  void OnAliveTimer();

  // ---- The cycle ----
  // One monitor cycle: one CPU and one memory sample, both watches.
  void Monitor();
  // Refreshes availableMemory and usedMemory.
  void GetMemoryInfo();
  // Plays the WAV file unless its name is blank.
  void PlayAlertSound(const std::string& soundFile);

  // ---- The log ----
  void WriteLog(const std::string& message) { log_.WriteLog(message); }
  // Writes the line and announces it as a failure the user must hear of.
  void ReportFailure(FailureResult::Kind kind, const std::string& line);

  // ---- Settings ----
  // Writes setting.ini from the settings with `enter` applied to them. Only once the file is
  // written does `enter` reach the settings in force; then the cycle countdown restarts with the
  // new interval. False when it was not written (the user was told why through `ui`): nothing
  // changed, not even while the user was told, as the monitor runs on behind a message box.
  bool SaveSettings(const std::function<void(Settings&)>& enter, IUiServices& ui);
  // Reads the settings files again while the program runs (tarnwickd on a signal or a changed
  // file) and puts them in force as the dialogs' Saves would: the next cycle runs on them, a
  // changed account logs in afresh. A file that cannot be read or fails a dialog's check changes
  // nothing; the log then names the setting and why.
  void ReloadSettings();
  // The "I am alive" notice is switched on or off, with its minutes.
  void StartAliveNotice(bool on, int16_t minutes);
  // Midnight or the user: no SMS sent today.
  void ResetSmsCount() { settings.smsSentToday = 0; }

  // ---- Announcing ----
  template <typename Call>
  void Announce(Call&& call) {
    // A copy: a listener may stop listening while it is told.
    const std::vector<IEngineListener*> listeners = listeners_;
    for (IEngineListener* listener : listeners) call(*listener);
  }

  // ---- State ----
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

  EngineStatus Status() const override;
  ActivityLog& log() { return log_; }
  SettingsStore& store() { return store_; }
  EngineDeps& deps() { return deps_; }
  // The alert delivery, when the program has a transport and a mailer launcher.
  AlertDelivery* delivery() { return delivery_.get(); }
  // Process control, when the program can terminate processes.
  ProcessControl* processControl() { return processControl_.get(); }
  // What sends an alert that passed the dispatcher's gate (null without a delivery).
  IAlertSender* alertSender() { return alertSender_; }
  void SetAlertSender(IAlertSender* sender) { alertSender_ = sender; }
  void SetProgramMonitor(IProgramMonitor* monitor) { programMonitor_ = monitor; }
  void SetTopProcessKiller(ITopProcessKiller* killer) { killer_ = killer; }
  // The one process scan of each cycle, shared by the ranking and whoever shows processes.
  ProcessSampler& processSampler() { return processSampler_; }
  // The number of the latest monitor cycle (0 before the first).
  long cycleNumber() const { return cycleNumber_; }
  // The program's own executable name with the platform's suffix ("tarnwick", "tarnwickd.exe").
  std::string OwnExecutable();

 private:
  enum class WatchKind { Cpu, Memory };
  struct Sample {
    int cpu = 0;          // CPU sample of this cycle (-1 when the measurement failed)
    int mem = 0;          // memory percentage of this cycle
    int64_t totalMB = 0;  // whole megabytes of total memory
  };
  void ApplyDefaultSettings();
  void ResetWatchesForStart();
  void ShowMonitoring(bool on);
  void InitCpuSampler();
  void RunWatch(WatchKind kind, const Sample& sample);
  void ExceedingSample(WatchKind kind, const Sample& sample);
  void RaiseAlert(WatchKind kind, const Sample& sample);
  void NormalSample(WatchKind kind, const Sample& sample);
  void PlayWarningSound();
  void RankCpu();
  std::string KillTopProcess(const TopHistory& history);
  // The kill rules' answer for a watch over this cycle's scan.
  void AnnounceKillPick(WatchKind kind);

  EngineDeps deps_;
  ActivityLog log_;
  SettingsStore store_;
  std::unique_ptr<CpuSampler> cpuSampler_;
  ProcessSampler processSampler_;
  std::unique_ptr<ProcessRanking> ranker_;
  std::unique_ptr<AlertDelivery> delivery_;
  std::unique_ptr<ProcessControl> processControl_;
  IAlertSender* alertSender_ = nullptr;
  IProgramMonitor* programMonitor_ = nullptr;
  ITopProcessKiller* killer_ = nullptr;
  std::vector<IEngineListener*> listeners_;
  std::function<LoginAccount()> loginAccount_;
  bool monitoringOn_ = false;
  long cycleNumber_ = 0;
  // The values the watches judge: a refused reading keeps the one before (0 to 100).
  int judgedCpu_ = 0;
  int judgedMem_ = 0;
};

// Listens to the engine for its own lifetime: declared right after the listener, it stops
// listening before the listener is gone.
class Listening {
 public:
  Listening(Engine& engine, IEngineListener& listener) : engine_(engine), listener_(listener) {
    engine_.Listen(&listener_);
  }
  ~Listening() { engine_.Unlisten(&listener_); }
  Listening(const Listening&) = delete;
  Listening& operator=(const Listening&) = delete;

 private:
  Engine& engine_;
  IEngineListener& listener_;
};

}  // namespace tarnwick
