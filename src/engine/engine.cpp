#include "engine/engine.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "domain/settings_location.h"
#include "engine/alert_delivery.h"
#include "engine/process_control.h"
#include "engine/service_client.h"
#include "settings/settings_recheck.h"

namespace tarnwick {
namespace {

constexpr std::string_view kSettingsReloaded = "Settings reloaded";
// Starts the line of a reload that changed nothing; the reason follows.
constexpr std::string_view kSettingsNotReloaded =
    "Settings not reloaded, the running values stay: ";
constexpr std::string_view kSettingFileMissing = "setting.ini: the file is missing";

}  // namespace

Engine::Engine(EngineDeps deps)
    : deps_(deps),
      log_(deps.clock, settings, deps.files, deps.system.LogFolder(), deps.system.PathSeparator()),
      store_(deps.files, deps.system.SettingsFolder(), deps.system.PathSeparator()),
      processSampler_(deps.processes, deps.clock) {
  log_.SetFailure([this](const std::string& line) {
    Announce([&](IEngineListener& l) { l.OnFailure({FailureResult::Kind::LogFile, line}); });
  });
  if (deps.urlTransport != nullptr && deps.mailerLauncher != nullptr) {
    const std::string mailer = deps.system.ProgramFolder() + deps.system.PathSeparator() +
                               std::string(kMailerProgramName) + deps.system.ExecutableSuffix();
    delivery_ =
        std::make_unique<AlertDelivery>(*this, *deps.urlTransport, *deps.mailerLauncher, mailer);
    alertSender_ = &delivery_->dispatcher;
  }
  if (deps.processKiller != nullptr) {
    processControl_ = std::make_unique<ProcessControl>(*this, *deps.processKiller);
    programMonitor_ = processControl_.get();
    killer_ = processControl_.get();
  }
}

Engine::~Engine() = default;

void Engine::Listen(IEngineListener* listener) {
  if (listener != nullptr) listeners_.push_back(listener);
}

void Engine::Unlisten(IEngineListener* listener) {
  std::erase(listeners_, listener);
}

std::string Engine::OwnExecutable() {
  return deps_.system.OwnExecutableName() + deps_.system.ExecutableSuffix();
}

LoginAccount Engine::AccountForLogin() {
  if (loginAccount_) return loginAccount_();
  return LoginAccount{settings.smsEmail, settings.smsPassword};
}

void Engine::ReportFailure(FailureResult::Kind kind, const std::string& line) {
  WriteLog(line);
  Announce([&](IEngineListener& l) { l.OnFailure({kind, line}); });
}

void Engine::Load() {
  const int processors = deps_.system.ProcessorCount();
  processorCount = static_cast<int16_t>(processors > 0 && processors < 32768 ? processors : 1);
  kill.killFailList.clear();
  log_.EnsureFolder();
  const std::string settingsFolder = deps_.system.SettingsFolder();
  if (settingsFolder != deps_.system.ProgramFolder()) deps_.files.MakeFolder(settingsFolder);
  totalMemory = deps_.memory.GetRamAmount();

  const auto loaded =
      store_.LoadSettings(settings, deps_.system.ComputerName(), deps_.system.ProgramFolder());
  const bool firstRun = loaded.source == SettingsStore::SettingSource::FirstRun;
  if (firstRun) ApplyDefaultSettings();
  for (const std::string& notice : loaded.notices) {
    ReportFailure(FailureResult::Kind::SettingsFile, notice);
  }
  cycleCountdown = CycleSeconds(settings.TimeInterval);
  aliveCountdown = loaded.aliveMinutes;
  Announce([&](IEngineListener& l) { l.OnSettingsInForce({firstRun}); });
  WriteLog(std::string(kSettingsFolderLine) + settingsFolder);
  if (processControl_) processControl_->LoadProgramSettings();

  cpuWatch = WatchState{};
  memWatch = WatchState{};
  ranking.cpuTopList.clear();
  ranking.memTopList.clear();
  // One-character texts are moved in from whole strings: assigned from literals, GCC 12 at -O3
  // reports a false overlap (-Wrestrict) in the inlined copy (also below).
  ranking.cpuPeakPct = std::string("0");
  ranking.memPeakSize = std::string("0");
  session.loggedIn = false;

  InitCpuSampler();
  cycleTimer.enabled = false;
  GetMemoryInfo();
  totalMemoryMB = static_cast<double>(totalMemory >= 0 ? totalMemory / 1024 / 1024 : 0);
  minuteTimer.enabled = true;
  aliveTimer.enabled = settings.alive_Email != 0;
}

void Engine::InitCpuSampler() {
  deps_.system.RaisePriority();
  cpuSampler_ = std::make_unique<CpuSampler>(deps_.cpuCounters);
  cpuSampler_->Initialize();
  ranker_ = std::make_unique<ProcessRanking>(processSampler_, deps_.clock, processorCount,
                                             deps_.system.ExecutableSuffix());
}

// The first start's values of the monitor; the alert settings dialog shows them with its hints.
void Engine::ApplyDefaultSettings() {
  settings.TimeInterval = std::string("5");
  cycleCountdown = 5;
  settings.cpu_High = "85";
  settings.mem_High = "85";
  settings.num_High = "10";
  settings.num_Kill = settings.num_High;
}

bool Engine::SaveSettings(const std::function<void(Settings&)>& enter, IUiServices& ui) {
  Settings saved = settings;
  enter(saved);
  if (!store_.SaveSettings(saved, ui)) return false;
  // Entered again rather than copied whole: what changed meanwhile (the day's SMS count, the
  // SMTP settings) stays.
  enter(settings);
  // The next cycle comes a full new interval later.
  cycleCountdown = CycleSeconds(settings.TimeInterval);
  Announce([](IEngineListener& l) { l.OnSettingsInForce({}); });
  return true;
}

void Engine::ReloadSettings() {
  Settings fresh = settings;
  const auto loaded =
      store_.LoadSettings(fresh, deps_.system.ComputerName(), deps_.system.ProgramFolder());
  std::optional<std::string> refusal;
  if (!loaded.notices.empty()) {
    refusal = loaded.notices.front();
  } else if (loaded.source == SettingsStore::SettingSource::FirstRun) {
    refusal = std::string(kSettingFileMissing);
  } else {
    refusal = FirstSettingsRefusal(fresh);
  }
  // The program monitor's file last: it is put in force at once when it passes.
  if (!refusal && processControl_) refusal = processControl_->ReloadProgramSettings();
  if (refusal) {
    ReportFailure(FailureResult::Kind::SettingsFile, std::string(kSettingsNotReloaded) + *refusal);
    return;
  }
  const bool accountChanged =
      fresh.smsEmail != settings.smsEmail || fresh.smsPassword != settings.smsPassword;
  const bool aliveChanged =
      fresh.alive_Email != settings.alive_Email || fresh.min_Select != settings.min_Select;
  settings = fresh;
  cycleCountdown = CycleSeconds(settings.TimeInterval);
  if (aliveChanged) StartAliveNotice(settings.alive_Email != 0, loaded.aliveMinutes);
  WriteLog(std::string(kSettingsReloaded));
  Announce([](IEngineListener& l) { l.OnSettingsInForce({}); });
  if (accountChanged) {
    if (delivery_) delivery_->client.ForgetFailures();
    ServiceLogin();
  }
}

void Engine::StartAliveNotice(bool on, int16_t minutes) {
  aliveTimer.enabled = on;
  aliveCountdown = minutes;
}

// Without the web service client every login takes the path of an account that is not set up:
// monitoring starts at once, logged out.
void Engine::ServiceLogin() {
  if (delivery_) {
    delivery_->client.ServiceLogin();
    return;
  }
  BeginLogin(*this);
  AccountForLogin();
  LoginWithoutAccount(*this);
}

void Engine::OnMinuteTimer() {
  if (delivery_) delivery_->notices.OnMinute();
}

void Engine::OnAliveTimer() {
  if (delivery_) delivery_->notices.OnAliveMinute();
}

void Engine::ResetWatchesForStart() {
  // The scans before the pause are no measure of the CPU shares now.
  processSampler_.Reset();
  cpuWatch.raised = cpuWatch.reported = memWatch.raised = memWatch.reported = 0;
  cpuWatch.count = memWatch.count = 0;
  ranking.cpuTopList.clear();
  ranking.memTopList.clear();
  ranking.cpuPeakPct = std::string("0");
  ranking.memPeakSize = std::string("0");
}

void Engine::ShowMonitoring(bool on) {
  const bool changed = monitoringOn_ != on;
  monitoringOn_ = on;
  Announce([&](IEngineListener& l) { l.OnMonitoring({on, changed}); });
}

void Engine::SwitchMonitoring(bool on, MonitoringSwitch by) {
  if (!on) {
    cycleTimer.enabled = false;
    if (by == MonitoringSwitch::Button) {
      WriteLog(std::string(kMonitoringStopped));
      aliveTimer.enabled = false;
    }
    ShowMonitoring(false);
    return;
  }
  if (by != MonitoringSwitch::Tray) {
    cpuWatch.firstTime.clear();
    memWatch.firstTime.clear();
    if (programMonitor_ != nullptr) programMonitor_->ResetForStart(by == MonitoringSwitch::Button);
  }
  ResetWatchesForStart();
  cycleTimer.enabled = true;
  if (by == MonitoringSwitch::Button && settings.alive_Email == 1) aliveTimer.enabled = true;
  if (by != MonitoringSwitch::Tray) WriteLog(std::string(kMonitoringStarted));
  ShowMonitoring(true);
}

void Engine::OnCycleTimer() {
  if (delivery_) delivery_->client.OnTick();
  // Counted in int: a countdown loaded with -32768 must not wrap around to 32767.
  const int next = cycleCountdown - 1;
  if (next < 1) {
    cycleCountdown = CycleSeconds(settings.TimeInterval);
    cycleTimer.enabled = false;
    Announce([&](IEngineListener& l) { l.OnCycleStart({cycleNumber_ + 1, deps_.clock.Now()}); });
    const long long started = deps_.clock.MonotonicNs();
    Monitor();
    if (programMonitor_ != nullptr && programMonitor_->Enabled()) programMonitor_->MonitorProgram();
    const long long duration = deps_.clock.MonotonicNs() - started;
    Announce([&](IEngineListener& l) { l.OnCycleDone({cycleNumber_, duration}); });
  } else {
    cycleCountdown = static_cast<int16_t>(next);
  }
  // A Stop that arrived while the cycle let pending events run keeps the timer off.
  cycleTimer.enabled = monitoringOn_;
}

void Engine::GetMemoryInfo() {
  if (totalMemory < 0) {
    totalMemory = availableMemory = usedMemory = 0;
    return;
  }
  // An unreadable counter keeps the previous reading.
  const int64_t available = deps_.memory.GetAvailableBytes();
  if (available >= 0) availableMemory = available;
  usedMemory = totalMemory - availableMemory;
}

void Engine::PlayAlertSound(const std::string& soundFile) {
  if (Trim(soundFile).empty()) return;
  deps_.sound.PlayWav(soundFile);
}

EngineStatus Engine::Status() const {
  EngineStatus s;
  s.monitoring = monitoringOn_;
  s.processorCount = processorCount;
  s.totalMemoryBytes = totalMemory;
  s.availableMemoryBytes = availableMemory;
  s.usedMemoryBytes = usedMemory;
  s.judgedCpu = judgedCpu_;
  const std::optional<int16_t> samples = TextToInt16(settings.num_High);
  const auto machine = [&](const WatchState& w, const std::string& threshold) {
    WatchStatus status{w.count, w.exceeded, w.raised == 1, std::nullopt, std::nullopt};
    if (const std::optional<int16_t> percent = TextToInt16(threshold)) {
      status.thresholdPercent = *percent;
    }
    if (samples) status.alertSamples = *samples;
    return status;
  };
  s.watches[static_cast<size_t>(Watch::Cpu)] = machine(cpuWatch, settings.cpu_High);
  s.watches[static_cast<size_t>(Watch::Memory)] = machine(memWatch, settings.mem_High);
  s.killOn = settings.KillProc == 1;
  if (processControl_) {
    const ProgramSettings& p = processControl_->programSettings();
    s.hasProgramMonitor = true;
    s.programMonitorOn = processControl_->Enabled();
    ProgramMonitor& monitor = processControl_->programMonitor();
    const auto program = [&](const ProgramWatch& w, double threshold) {
      // A watch that is off counts nothing.
      const bool on = s.programMonitorOn;
      return WatchStatus{on ? w.count : 0, on && (w.count > 0 || w.notified), on && w.notified,
                         threshold, p.pgmAlertSetF};
    };
    s.watches[static_cast<size_t>(Watch::ProgramCpu)] = program(monitor.cpuWatch(), p.pgmCPUsetF);
    s.watches[static_cast<size_t>(Watch::ProgramMemory)] =
        program(monitor.memWatch(), p.pgmMEMsetF);
  }
  s.smsSentToday = settings.smsSentToday;
  s.loggedIn = session.loggedIn;
  s.credits = session.credits;
  s.cycles = cycleNumber_;
  return s;
}

}  // namespace tarnwick
