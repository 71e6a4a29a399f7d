// The main window frmMain as a form model: the state of its controls under their names and its
// event handlers. It shows what the engine decides (it listens to it) and hands the user's
// commands to it; the Qt and Win32 views render this state and forward events to it. This is the
// only place the main window's control names live.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "controls/form_controls.h"
#include "controls/gauge.h"
#include "engine/engine.h"
#include "forms/desktop_notifications.h"
#include "forms/form_context.h"
#include "forms/settings_dialogs.h"
#include "platform/autostart.h"
#include "platform/smtp_client.h"
#include "platform/ui_services.h"
#include "results/engine_listener.h"

namespace tarnwick {

inline constexpr std::string_view kProgramTitle = "Tarnwick V4.3 ";
inline constexpr std::string_view kBusyCaption = "Waiting to get CPU usage information...";
inline constexpr size_t kTrayTipLimit = 63;
// Shown with the system's reason when the session's start entry cannot be written or removed.
inline constexpr std::string_view kAutostartFailed =
    "Could not change the start with the desktop session: ";

// The desktop services of the main window beside the engine's.
struct MainWindowServices {
  IUiServices& ui;
  // Sends the SMTP settings dialog's test mail in-process, without waiting for the server.
  IAsyncSmtpClient* smtpClient = nullptr;
  // The desktop session's start entry; without it the File menu has no such item.
  IAutostart* autostart = nullptr;
};

class PgmSetupModel;
class ProcessControl;
struct ProgramSettings;

class MainWindowModel final : public IEngineListener {
 public:
  // The engine outlives the form; the form listens to it from construction on.
  MainWindowModel(Engine& engine, MainWindowServices services);
  ~MainWindowModel() override;
  MainWindowModel(const MainWindowModel&) = delete;
  MainWindowModel& operator=(const MainWindowModel&) = delete;

  // ---- Event handlers ----
  void OnLoad();
  void OnTmrUpdateTick() { engine_.OnCycleTimer(); }
  void OnCommand1Click();
  void OnMStartClick();
  void OnLoginClick() { engine_.ServiceLogin(); }
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
  // File > Show notifications: turns the tray's notes of alerts and terminations on or off.
  void OnMNotifyClick();
  // The setup menu commands: the alert settings, the SMTP settings and the program monitor's
  // settings, each shown modeless.
  void OnSetupClick() { dialogs_.alert.Show(); }
  void OnSMTPsetupClick() { dialogs_.smtp.Show(); }
  void OnMPGMSetupClick();
  // Timer4: the midnight duties. Timer5: the "I am alive" countdown.
  void OnTimer4Tick() { engine_.OnMinuteTimer(); }
  void OnTimer5Tick() { engine_.OnAliveTimer(); }

  // Places the form in the middle of the screen. `geometry` follows the window wherever the
  // user moves it, so the centre is a new place even after a move.
  void CenterForm(FormGeometry& form) { context_.CenterForm(form); }
  // Takes the caption and icon into the tray entry.
  void UpdateTray();

  // ---- Controls ----
  std::string caption;
  std::string iconPath;
  // Off while the engine scans the processes: the busy look, with the wait pointer and the
  // window's controls (Command1 too) disabled. Views leave the window itself enabled, as it owns
  // the menus and the dialogs: disabling a menu's owner cancels the open menu.
  bool enabled = true;
  bool visible = true;
  WindowState windowState = WindowState::Normal;
  FormGeometry geometry{0, 0, 620, 560};

  Button Command1{"Start", kColorRed, true};
  // The window's timers are the engine's: the view runs them, the engine sets them.
  Timer& tmrUpdate;
  Timer& Timer4;
  Timer& Timer5;
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
  MenuItem mNotify{"Show notifications"};
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

  std::string stopIconPath;
  std::string runIconPath;

  Engine& engine() { return engine_; }
  const Engine& engine() const { return engine_; }
  ActivityLog& log() { return engine_.log(); }
  FormContext& context() { return context_; }
  AlertSettingModel& alertSetting() { return dialogs_.alert; }
  SmtpServerModel& smtpServer() { return dialogs_.smtp; }
  // The program monitor's dialog; null where the program cannot terminate processes.
  PgmSetupModel* pgmSETUP() { return dialogs_.program.get(); }
  DesktopNotifications& notifications() { return notifications_; }

  // ---- What the engine decided ----
  void OnCycleStart(const CycleStart& start) override;
  void OnSample(const SampleResult& sample) override;
  void OnBusy(const BusyResult& busy) override;
  void OnExceeding(const ExceedingResult& exceeding) override;
  void OnNormalSample(const NormalSampleResult& normal) override;
  void OnProgramStep(const ProgramStepResult& step) override;
  void OnMonitoring(const MonitoringResult& monitoring) override;
  void OnLogin(const LoginResult& login) override;
  void OnCredits(const CreditsResult& credits) override;
  void OnSettingsInForce(const SettingsInForce& change) override;
  void OnProgramSettingsInForce() override;
  void OnDayReset() override { dialogs_.alert.OnDayReset(); }

 private:
  void WriteStatusCaptions();
  void ShowProgramLabels(const ProgramSettings& settings);

  Engine& engine_;
  MainWindowServices services_;
  FormContext context_;
  SettingsDialogs dialogs_;
  DesktopNotifications notifications_;
  // The caption the busy look replaced.
  std::string captionBeforeBusy_;
};

}  // namespace tarnwick
