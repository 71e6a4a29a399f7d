#include "forms/main_window_model.h"

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "engine/process_control.h"
#include "forms/account_caption.h"
#include "settings/program_settings.h"

namespace tarnwick {
namespace {

constexpr std::string_view kNoProgramMonitored = "No program monitored";
constexpr std::string_view kRunningTail = " Running";
constexpr std::string_view kStoppedTail = " Stopped";
// The program monitor's labels.
constexpr std::string_view kNotFoundTail = " not found";
constexpr std::string_view kKilledTail = " killed";
constexpr std::string_view kKilledMarker = "killed";
constexpr std::string_view kNoValue = "--";
constexpr std::string_view kNoCount = "-";
constexpr std::string_view kLabelSlash = "/";
constexpr std::string_view kCpuSettingTail = "%";
// The memory threshold label has a blank before its percent sign, the CPU one does not.
constexpr std::string_view kMemSettingTail = " %";

std::string Num(int64_t value) {
  return std::to_string(value);
}

}  // namespace

MainWindowModel::MainWindowModel(Engine& engine, MainWindowServices services)
    : tmrUpdate(engine.cycleTimer),
      Timer4(engine.minuteTimer),
      Timer5(engine.aliveTimer),
      engine_(engine),
      services_(services),
      context_(engine, services.ui, services.smtpClient),
      dialogs_(context_),
      notifications_(engine, [this] { return !visible || windowState == WindowState::Minimized; }) {
  engine_.Listen(this);
  // A login uses what the alert settings dialog's boxes hold, which it loads for that.
  engine_.SetLoginAccountSource([this] {
    dialogs_.alert.EnsureLoaded();
    return LoginAccount{dialogs_.alert.smsEmail, dialogs_.alert.smsPassword};
  });
}

MainWindowModel::~MainWindowModel() {
  engine_.SetLoginAccountSource(nullptr);
  engine_.Unlisten(this);
}

void MainWindowModel::OnLoad() {
  ISystemInfo& system = engine_.deps().system;
  const std::string folder = system.ProgramFolder() + system.PathSeparator();
  stopIconPath = folder + "eyestop.ico";
  runIconPath = folder + "eyerun.ico";
  iconPath = runIconPath;
  mAutostart.checkable = true;
  mAutostart.visible = services_.autostart != nullptr;
  mAutostart.checked = mAutostart.visible && services_.autostart->IsEnabled();
  notifications_.Load();
  mNotify.checkable = true;
  mNotify.checked = notifications_.On();
  caption =
      std::string(kProgramTitle) + YmdHms(engine_.deps().clock.Now()) + std::string(kRunningTail);
  trayAdded = true;
  UpdateTray();
  engine_.Load();
  if (engine_.processControl() == nullptr) {
    Label6[0].caption = Label6[2].caption = std::string(kNoProgramMonitored);
  }
  CenterForm(geometry);
  engine_.ServiceLogin();
}

void MainWindowModel::WriteStatusCaptions() {
  const StatusCaptions captions = MakeStatusCaptions(engine_.settings);
  lblTimeinterval.caption = captions.lblTimeinterval;
  lblNum.caption = captions.lblNum;
  lblNum_count[0].caption = lblNum_count[1].caption = captions.lblNum_count;
  lbl_Threshold[0].caption = captions.lbl_Threshold[0];
  lbl_Threshold[1].caption = captions.lbl_Threshold[1];
}

void MainWindowModel::OnSettingsInForce(const SettingsInForce& change) {
  if (change.firstRun) dialogs_.alert.ShowFirstRunValues();
  WriteStatusCaptions();
}

void MainWindowModel::OnProgramSettingsInForce() {
  if (const ProcessControl* control = engine_.processControl()) {
    ShowProgramLabels(control->programSettings());
  }
}

void MainWindowModel::ShowProgramLabels(const ProgramSettings& settings) {
  if (settings.pgmMonitorF != 0) {
    // A file with an empty name line watches nothing by that name; the labels say so.
    const std::string name =
        settings.pgmNameF.empty() ? std::string(kNoProgramMonitored) : settings.pgmNameF;
    Label6[0].caption = Label6[2].caption = name;
    pgmCPU_Setting.caption =
        std::string(kLabelSlash) + IntText(settings.pgmCPUsetF) + std::string(kCpuSettingTail);
    pgmMEM_Setting.caption =
        std::string(kLabelSlash) + ShortestForm(settings.pgmMEMsetF) + std::string(kMemSettingTail);
    pgmCPU_Warn.caption = pgmMEM_Alert.caption =
        std::string(kLabelSlash) + IntText(settings.pgmAlertSetF);
    return;
  }
  Label6[0].caption = Label6[2].caption = std::string(kNoProgramMonitored);
  pgmCPU.caption = pgmCPU_count.caption = std::string(kNoValue);
  pgmMEM.caption = pgmMEM_Count.caption = std::string(kNoValue);
}

void MainWindowModel::OnMonitoring(const MonitoringResult& monitoring) {
  const std::string_view state = monitoring.on ? "Stop" : "Start";
  Command1.caption = std::string(state);
  Command1.backColor = monitoring.on ? kColorGreen : kColorRed;
  mStart.caption = std::string(state);
  caption = std::string(kProgramTitle) + YmdHms(engine_.deps().clock.Now()) +
            std::string(monitoring.on ? kRunningTail : kStoppedTail);
  iconPath = monitoring.on ? runIconPath : stopIconPath;
}

void MainWindowModel::OnLogin(const LoginResult& login) {
  if (login.step == LoginResult::Step::Started) {
    Label7.caption = login.credits;
    visible = true;
    caption = std::string(kLoginCaption);
    return;
  }
  if (const std::optional<std::string> account = AccountCaption(login)) Label4.caption = *account;
  if (const std::optional<bool> shown = CreditsShown(login)) {
    Label7.caption = login.credits;
    Label7.visible = *shown;
  }
  // A retry in the background that fails again is no news: the log said so once.
  if (login.step == LoginResult::Step::Unreadable && !login.retry) {
    context_.Tell(kConnectionErrorMessage);
  }
}

void MainWindowModel::OnCredits(const CreditsResult& credits) {
  Label7.caption = credits.credits;
}

void MainWindowModel::OnCommand1Click() {
  const bool start = !engine_.MonitoringOn();
  if (start && engine_.processControl() != nullptr) {
    // A whole string first: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
    pgmCPU_count.caption = pgmMEM_Count.caption = std::string("0");
    pgmCPU.caption = pgmMEM.caption = "0%";
  }
  engine_.SwitchMonitoring(start, MonitoringSwitch::Button);
  UpdateTray();
}

void MainWindowModel::OnMStartClick() {
  engine_.SwitchMonitoring(!engine_.MonitoringOn(), MonitoringSwitch::Tray);
  UpdateTray();
}

void MainWindowModel::OnCycleStart(const CycleStart& start) {
  lbl_lastTime.caption = HhMmSsYmd(start.time);
}

void MainWindowModel::OnSample(const SampleResult& sample) {
  CPU_Progress.Set(sample.judgedCpu);
  lblCPUValue[0].caption = Num(sample.cpu) + " %";
  lblRamValue[0].caption = Num(sample.totalMB);
  lblRamValue[1].caption = Num(sample.availableMB);
  lblRamValue[2].caption = Num(sample.usedMB);
  if (sample.totalMB != 0) {
    lblCPUValue[1].caption = Num(sample.mem) + " %";
    RAM_Progress.Set(sample.judgedMem);
  }
  const std::string usage = Num(sample.cpu) + "% / " + Num(sample.mem) + "%";
  caption = MmDdHhMmSs(sample.time) + " CPU / MEMORY usage " + usage;
  UpdateTray();
}

void MainWindowModel::OnBusy(const BusyResult& busy) {
  if (busy.busy) {
    captionBeforeBusy_ = caption;
    enabled = false;
    caption = std::string(kBusyCaption);
    // The scan takes a while; the busy look must be on the screen before it, not only here.
    services_.ui.ShowNow();
    return;
  }
  enabled = true;
  caption = captionBeforeBusy_;
}

void MainWindowModel::OnExceeding(const ExceedingResult& exceeding) {
  if (IsProgramWatch(exceeding.watch)) return;
  const bool cpu = exceeding.watch == Watch::Cpu;
  lblCPUValue[cpu ? 0 : 1].foreColor = kColorRed;
  (cpu ? lblCPU_count : lblmem_Count).caption = Num(exceeding.count);
}

void MainWindowModel::OnNormalSample(const NormalSampleResult& normal) {
  const bool cpu = normal.watch == Watch::Cpu;
  lblCPUValue[cpu ? 0 : 1].foreColor = kColorBlack;
  (cpu ? lblCPU_count : lblmem_Count).caption = std::string("0");
}

void MainWindowModel::OnProgramStep(const ProgramStepResult& step) {
  const ProcessControl* control = engine_.processControl();
  if (control == nullptr) return;
  const std::string& name = control->programSettings().pgmNameF;
  const bool cpu = step.watch == Watch::ProgramCpu;
  Label& nameLabel = Label6[cpu ? 0 : 2];
  Label& value = cpu ? pgmCPU : pgmMEM;
  Label& count = cpu ? pgmCPU_count : pgmMEM_Count;
  if (!step.found) {
    // The memory row keeps saying that the program was terminated until it runs again.
    if (!cpu && Contains(nameLabel.caption, kKilledMarker)) return;
    nameLabel.caption = name + std::string(kNotFoundTail);
    value.caption = std::string(kNoValue);
    count.caption = std::string(kNoCount);
    return;
  }
  value.caption =
      (cpu ? IntText(static_cast<int64_t>(step.value)) : ShortestForm(step.value)) + "%";
  nameLabel.caption = name;
  if (step.terminated) {
    nameLabel.caption = name + std::string(kKilledTail);
    value.caption = std::string(kNoValue);
  }
  count.caption = IntText(step.count);
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
  request.initialFolder = engine_.log().Folder();
  request.filterDescription = "LOG Files(log*.txt)";
  request.filterPattern = "Tarnwick_log*.txt";
  IUiServices& ui = services_.ui;
  const auto chosen = ui.PickFile(request);
  if (chosen && !chosen->empty()) ui.OpenWithViewer(*chosen);
}

void MainWindowModel::OnMAutostartClick() {
  if (services_.autostart == nullptr) return;
  const bool wanted = !mAutostart.checked;
  const FileResult result = services_.autostart->SetEnabled(wanted);
  if (result.ok) {
    mAutostart.checked = wanted;
  } else {
    context_.Tell(std::string(kAutostartFailed) + result.reason);
  }
}

void MainWindowModel::OnMNotifyClick() {
  const bool wanted = !mNotify.checked;
  if (const std::optional<std::string> failure = notifications_.SetOn(wanted)) {
    context_.Tell(std::string(kNotificationsNotStored) + *failure);
    return;
  }
  mNotify.checked = wanted;
}

void MainWindowModel::OnMPGMSetupClick() {
  if (dialogs_.program) dialogs_.program->Show();
}

}  // namespace tarnwick
