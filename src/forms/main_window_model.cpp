#include "forms/main_window_model.h"

#include "engine/alert_delivery.h"
#include "forms/smtp_server_model.h"
#include "common/text.h"
#include "common/time_text.h"
#include "engine/process_control.h"
#include "domain/settings_location.h"

namespace tarnwick {
namespace {

constexpr std::string_view kNoProgramMonitored = "No program monitored";
// The file dialog of the sound buttons.
constexpr std::string_view kSoundPickTitle = "Open";
constexpr std::string_view kSoundFilterDescription = "WAV Files(*.wav)";
constexpr std::string_view kSoundFilterPattern = "*.wav";

}  // namespace

MainWindowModel::MainWindowModel(MainWindowDeps deps)
    : deps_(deps),
      log_(deps.clock, settings, deps.files, deps.system.LogFolder(), deps.system.PathSeparator()),
      store_(deps.files, deps.system.SettingsFolder(), deps.system.PathSeparator()),
      alertSetting_(*this),
      processSampler_(deps.processes, deps.clock) {
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
  smtpServer_ = std::make_unique<SmtpServerModel>(*this);
}

MainWindowModel::~MainWindowModel() = default;

void MainWindowModel::OnLoad() {
  const int processors = deps_.system.ProcessorCount();
  processorCount = static_cast<int16_t>(processors > 0 && processors < 32768 ? processors : 1);
  kill.killFailList.clear();
  const std::string folder = deps_.system.ProgramFolder() + deps_.system.PathSeparator();
  stopIconPath = folder + "eyestop.ico";
  runIconPath = folder + "eyerun.ico";
  iconPath = runIconPath;
  log_.EnsureFolder();
  mAutostart.checkable = true;
  mAutostart.visible = deps_.autostart != nullptr;
  mAutostart.checked = mAutostart.visible && deps_.autostart->IsEnabled();
  const std::string settingsFolder = deps_.system.SettingsFolder();
  if (settingsFolder != deps_.system.ProgramFolder()) deps_.files.MakeFolder(settingsFolder);
  caption = std::string(kProgramTitle) + YmdHms(deps_.clock.Now()) + " Running";
  trayAdded = true;
  UpdateTray();
  totalMemory = deps_.memory.GetRamAmount();

  const auto loaded =
      store_.LoadSettings(settings, deps_.system.ComputerName(), deps_.system.ProgramFolder());
  if (loaded.source == SettingsStore::SettingSource::FirstRun) ApplyDefaultSettings();
  for (const std::string& notice : loaded.notices) WriteLog(notice);
  cycleCountdown = CycleSeconds(settings.TimeInterval);
  aliveCountdown = loaded.aliveMinutes;
  WriteStatusCaptions(true);
  WriteLog(std::string(kSettingsFolderLine) + settingsFolder);
  if (processControl_) {
    processControl_->LoadProgramSettings();
  } else {
    Label6[0].caption = Label6[2].caption = std::string(kNoProgramMonitored);
  }

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
  tmrUpdate.enabled = false;
  GetMemoryInfo();
  totalMemoryMB = static_cast<double>(totalMemory >= 0 ? totalMemory / 1024 / 1024 : 0);
  CenterForm(geometry);
  Timer4.enabled = true;
  Timer5.enabled = settings.alive_Email != 0;
  ServiceLogin();
}

void MainWindowModel::InitCpuSampler() {
  deps_.system.RaisePriority();
  cpuSampler_ = std::make_unique<CpuSampler>(deps_.cpuCounters);
  cpuSampler_->Initialize();
  ranker_ = std::make_unique<ProcessRanking>(processSampler_, deps_.clock, processorCount,
                                             deps_.system.ExecutableSuffix());
}

void MainWindowModel::ApplyDefaultSettings() {
  alertSetting_.EnsureLoaded();
  alertSetting_.smsPhone = std::string(kPhoneHint);
  alertSetting_.Mail_List = std::string(kMailListHint);
  settings.TimeInterval = std::string("5");
  cycleCountdown = 5;
  settings.cpu_High = "85";
  settings.mem_High = "85";
  settings.num_High = "10";
  settings.num_Kill = settings.num_High;
  alertSetting_.TimeInterval = settings.TimeInterval;
  alertSetting_.mem_High = settings.mem_High;
  alertSetting_.cpu_High = settings.cpu_High;
  alertSetting_.num_High = settings.num_High;
  alertSetting_.host_Name = settings.host_Name;
  alertSetting_.num_Kill = settings.num_Kill;
  WriteStatusCaptions(false);
}

bool MainWindowModel::SaveSettings(const std::function<void(Settings&)>& enter) {
  Settings saved = settings;
  enter(saved);
  if (!store_.SaveSettings(saved, deps_.ui)) return false;
  // Entered again rather than copied whole: what changed meanwhile (the day's SMS count, the
  // SMTP settings) stays.
  enter(settings);
  // The next cycle comes a full new interval later.
  cycleCountdown = CycleSeconds(settings.TimeInterval);
  WriteStatusCaptions(true);
  return true;
}

void MainWindowModel::WriteStatusCaptions(bool withTimeInterval) {
  const StatusCaptions captions = MakeStatusCaptions(settings);
  if (withTimeInterval) lblTimeinterval.caption = captions.lblTimeinterval;
  lblNum.caption = captions.lblNum;
  lblNum_count[0].caption = lblNum_count[1].caption = captions.lblNum_count;
  lbl_Threshold[0].caption = captions.lbl_Threshold[0];
  lbl_Threshold[1].caption = captions.lbl_Threshold[1];
}

// Without the web service client every login takes the path of an account that is not set up:
// monitoring starts at once, logged out.
void MainWindowModel::ServiceLogin() {
  if (delivery_) {
    delivery_->client.ServiceLogin();
    return;
  }
  BeginLogin(*this);
  alertSetting_.EnsureLoaded();
  LoginWithoutAccount(*this);
}

void MainWindowModel::OnTimer4Tick() {
  if (delivery_) delivery_->notices.OnTimer4Tick();
}

void MainWindowModel::OnTimer5Tick() {
  if (delivery_) delivery_->notices.OnTimer5Tick();
}

void MainWindowModel::ResetWatchesForStart() {
  // The scans before the pause are no measure of the CPU shares now.
  processSampler_.Reset();
  cpuWatch.raised = cpuWatch.reported = memWatch.raised = memWatch.reported = 0;
  cpuWatch.count = memWatch.count = 0;
  ranking.cpuTopList.clear();
  ranking.memTopList.clear();
  ranking.cpuPeakPct = std::string("0");
  ranking.memPeakSize = std::string("0");
}

void MainWindowModel::ShowRunningLook() {
  if (history_ != nullptr && !monitoringOn_) {
    history_->RecordEvent(HistoryEventKind::MonitoringStarted, std::string(kMonitoringStarted));
  }
  monitoringOn_ = true;
  if (metrics_ != nullptr) metrics_->MonitoringChanged();
  Command1.caption = "Stop";
  Command1.backColor = kColorGreen;
  mStart.caption = "Stop";
  caption = std::string(kProgramTitle) + YmdHms(deps_.clock.Now()) + " Running";
  iconPath = runIconPath;
}

void MainWindowModel::ShowStoppedLook() {
  if (history_ != nullptr && monitoringOn_) {
    history_->RecordEvent(HistoryEventKind::MonitoringStopped, std::string(kMonitoringStopped));
  }
  monitoringOn_ = false;
  if (metrics_ != nullptr) metrics_->MonitoringChanged();
  Command1.caption = "Start";
  Command1.backColor = kColorRed;
  mStart.caption = "Start";
  caption = std::string(kProgramTitle) + YmdHms(deps_.clock.Now()) + " Stopped";
  iconPath = stopIconPath;
}

void MainWindowModel::SetMonitoring(bool on) {
  if (on) {
    cpuWatch.firstTime.clear();
    memWatch.firstTime.clear();
    if (programMonitor_ != nullptr) programMonitor_->ResetForStart(false);
    ResetWatchesForStart();
    tmrUpdate.enabled = true;
    WriteLog(std::string(kMonitoringStarted));
    ShowRunningLook();
  } else {
    tmrUpdate.enabled = false;
    ShowStoppedLook();
  }
}

void MainWindowModel::OnCommand1Click() {
  if (Command1.caption != "Stop") {
    cpuWatch.firstTime.clear();
    memWatch.firstTime.clear();
    if (programMonitor_ != nullptr) programMonitor_->ResetForStart(true);
    ResetWatchesForStart();
    tmrUpdate.enabled = true;
    if (settings.alive_Email == 1) Timer5.enabled = true;
    WriteLog(std::string(kMonitoringStarted));
    ShowRunningLook();
  } else {
    tmrUpdate.enabled = false;
    WriteLog(std::string(kMonitoringStopped));
    Timer5.enabled = false;
    ShowStoppedLook();
  }
  UpdateTray();
}

void MainWindowModel::OnMStartClick() {
  if (mStart.caption == "Start") {
    ResetWatchesForStart();
    tmrUpdate.enabled = true;
    ShowRunningLook();
  } else {
    tmrUpdate.enabled = false;
    ShowStoppedLook();
  }
  UpdateTray();
}

void MainWindowModel::OnLoginClick() {
  ServiceLogin();
}

void MainWindowModel::OnTmrUpdateTick() {
  // Counted in int: a countdown loaded with -32768 must not wrap around to 32767.
  const int next = cycleCountdown - 1;
  if (next < 1) {
    cycleCountdown = CycleSeconds(settings.TimeInterval);
    tmrUpdate.enabled = false;
    lbl_lastTime.caption = HhMmSsYmd(deps_.clock.Now());
    const long long started = deps_.clock.MonotonicNs();
    Monitor();
    if (programMonitor_ != nullptr && programMonitor_->Enabled()) programMonitor_->MonitorProgram();
    if (metrics_ != nullptr) metrics_->CycleDone(deps_.clock.MonotonicNs() - started);
  } else {
    cycleCountdown = static_cast<int16_t>(next);
  }
  // A Stop that arrived while the cycle let pending events run keeps the timer off.
  tmrUpdate.enabled = monitoringOn_;
}

void MainWindowModel::UpdateTray() {
  trayIconPath = iconPath;
  trayTip = Left(caption, kTrayTipLimit);
}

void MainWindowModel::OnResize(WindowState state, std::optional<FormSize> size) {
  windowState = state;
  if (state == WindowState::Minimized) {
    if (trayAdded && trayShown) visible = false;
    return;
  }
  mStart.visible = false;
  if (size) {
    geometry.width = size->width;
    geometry.height = size->height;
  }
}

void MainWindowModel::OnTrayDoubleClick() {
  windowState = WindowState::Normal;
  foregroundRequested = true;
  CenterForm(geometry);
  visible = true;
}

void MainWindowModel::OnTrayRightClick() {
  mStart.visible = true;
  trayMenuRequested = true;
}

void MainWindowModel::OnUnload() {
  trayAdded = false;
  quitRequested = true;
}

// Unlike closing the window, the original quit left the tray icon behind; it goes too.
void MainWindowModel::OnMnuQuitClick() {
  trayAdded = false;
  quitRequested = true;
}

void MainWindowModel::OnMViewLogClick() {
  FilePickRequest request;
  request.title = "View Log";
  request.initialFolder = log_.Folder();
  request.filterDescription = "LOG Files(log*.txt)";
  request.filterPattern = "Tarnwick_log*.txt";
  const auto chosen = deps_.ui.PickFile(request);
  if (chosen && !chosen->empty()) deps_.ui.OpenWithViewer(*chosen);
}

void MainWindowModel::OnMAutostartClick() {
  if (deps_.autostart == nullptr) return;
  const bool wanted = !mAutostart.checked;
  const FileResult result = deps_.autostart->SetEnabled(wanted);
  if (result.ok) {
    mAutostart.checked = wanted;
  } else {
    deps_.ui.MessageBox(std::string(kAutostartFailed) + result.reason, MessageButtons::Ok,
                        std::string(kDialogMessageTitle));
  }
}

void MainWindowModel::OnSetupClick() {
  alertSetting_.Show();
}

void MainWindowModel::OnSMTPsetupClick() {
  smtpServer_->Show();
}

void MainWindowModel::OnMPGMSetupClick() {
  if (processControl_) processControl_->pgmSETUP().Show();
}

std::optional<std::string> MainWindowModel::PickSoundFile() {
  FilePickRequest request;
  request.title = std::string(kSoundPickTitle);
  request.initialFolder = deps_.system.ProgramFolder();
  request.filterDescription = std::string(kSoundFilterDescription);
  request.filterPattern = std::string(kSoundFilterPattern);
  std::optional<std::string> chosen = deps_.ui.PickFile(request);
  if (chosen && chosen->empty()) chosen.reset();
  return chosen;
}

void MainWindowModel::CenterForm(FormGeometry& form) {
  const ScreenSize screen = deps_.ui.Screen();
  form.top = (screen.height - form.height) / 2;
  form.left = (screen.width - form.width) / 2;
}

void MainWindowModel::GetMemoryInfo() {
  if (totalMemory < 0) {
    totalMemory = availableMemory = usedMemory = 0;
    return;
  }
  // An unreadable counter keeps the previous reading.
  const int64_t available = deps_.memory.GetAvailableBytes();
  if (available >= 0) availableMemory = available;
  usedMemory = totalMemory - availableMemory;
}

void MainWindowModel::PlayAlertSound(const std::string& soundFile) {
  if (Trim(soundFile).empty()) return;
  deps_.sound.PlayWav(soundFile);
}

}  // namespace tarnwick
