// The main window: a thin Win32 view of MainWindowModel. It renders the model's controls, drives
// window timers from the model's timer state, keeps the tray entry, forwards every event to the
// model's handler and renders again afterwards. The controls are rendered only while somebody
// can see the window, and only what changed since the last render. Every control's ID is named
// after its model control (control_ids.h).
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/form_controls.h"
#include "domain/history_types.h"
#include "log_pane.h"
#include "tray_icon.h"
#include "widgets.h"

namespace tarnwick {
class MainWindowModel;
}

namespace tarnwick::win32 {

class AlertSettingDialog;
class SmtpServerDialog;
class PgmSetupDialog;

// The window class of the main window, by which tests and tools find it.
inline constexpr wchar_t kMainWindowClass[] = L"TarnwickMainWindow";
// The tray entry's mouse messages reach the window as this message.
inline constexpr UINT kTrayMessage = WM_APP + 1;
// The window's timers, by the model timer they run.
inline constexpr UINT_PTR kTmrUpdateTimer = 1;
inline constexpr UINT_PTR kTimer4Timer = 4;
inline constexpr UINT_PTR kTimer5Timer = 5;

class MainWindow {
 public:
  // The model must outlive the window.
  explicit MainWindow(MainWindowModel& model);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND hwnd() const { return window_; }
  // Brings the controls, timers, menus, tray entry, dialogs and the window itself in line with
  // the model, then carries out the model's one-shot requests and clears them.
  void Render();
  // Keyboard handling of the open dialogs (Tab, Enter, Escape); true when the message was theirs.
  bool DialogMessage(MSG& message);
  // The model asked to end the program; the message loop ends with it.
  bool Ending() const { return ending_; }
  // Log > History runs this (the program shows its History window).
  void SetHistoryCommand(std::function<void()> command) { history_ = std::move(command); }
  // Log > Processes runs this (the program shows its Processes window).
  void SetProcessesCommand(std::function<void()> command) { processes_ = std::move(command); }
  // A click on the tray's note runs this with the event it told of (the program opens its
  // History window on it).
  void SetNoteCommand(std::function<void(int64_t t, HistoryEventKind kind)> command) {
    note_ = std::move(command);
  }
  // Every window of the program renders after an event in any of them (a dialog's Save
  // changes the main window too); the program chains its other windows here.
  void SetAfterRender(std::function<void()> hook) { afterRender_ = std::move(hook); }
  // Windows is ending the session: the process ends when the window's answer returns, before
  // the message loop turns again. The program writes what it must keep here.
  void SetSessionEnding(std::function<void()> hook) { sessionEnding_ = std::move(hook); }

  LogPane& logPane() { return *log_; }
  TrayIcon& tray() { return *tray_; }
  HMENU fileMenu() const { return fileMenu_; }
  // The dialog windows while shown (null otherwise).
  HWND alertSettingDialog() const;
  HWND smtpServerDialog() const;
  HWND pgmSetupDialog() const;
  // Renders that changed at least one control of the face.
  size_t WidgetRenders() const { return widgetRenders_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Forward(const std::function<void()>& handler);
  void CreateControls();
  void ApplyMetrics();
  // Places the controls for the window's client size; returns the size the window opens with.
  // Keeps the client size the laid-out content needs in contentSize_.
  SIZE LayOut();
  // The busy look of a scan: the wait cursor while the pointer is over the client area.
  void RenderBusyCursor(bool busy);
  void OnCommand(int id);
  void OnTimer(UINT_PTR timer);
  void DrawCommand1(const DRAWITEMSTRUCT& item);
  bool Seen() const;
  HICON Icon(const std::string& path, bool small);

  void RenderMenus();
  void RenderTimers();
  void RenderTray();
  void RenderWindow();
  void RenderWidgets();
  void RenderDialogs();
  void CarryOutRequests();
  void ShowNotification();

  MainWindowModel& model_;
  HWND window_ = nullptr;
  HMENU menuBar_ = nullptr;
  HMENU fileMenu_ = nullptr;
  HMENU logMenu_ = nullptr;
  std::unique_ptr<Metrics> metrics_;
  std::unique_ptr<LogPane> log_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<AlertSettingDialog> alertDialog_;
  std::unique_ptr<SmtpServerDialog> smtpDialog_;
  std::unique_ptr<PgmSetupDialog> pgmDialog_;
  std::function<void()> history_;
  std::function<void()> processes_;
  std::function<void(int64_t, HistoryEventKind)> note_;
  std::function<void()> afterRender_;
  std::function<void()> sessionEnding_;

  // The labels with the model labels they show, in the same order.
  std::vector<std::pair<const tarnwick::Label*, HWND>> labels_;
  std::vector<tarnwick::Label> renderedLabels_;
  std::optional<std::array<MenuItem, 9>> renderedMenus_;
  struct TimerState {
    bool running = false;
    int intervalMs = 0;
  };
  std::array<TimerState, 3> timers_{};
  std::map<std::string, HICON> bigIcons_;
  std::map<std::string, HICON> smallIcons_;
  std::string renderedIcon_;
  int renderedCpuGauge_ = -1;
  int renderedRamGauge_ = -1;
  size_t renderedLogLines_ = static_cast<size_t>(-1);
  Button renderedCommand1_{"", -2, false};
  FormGeometry appliedGeometry_{-1, -1, -1, -1};
  SIZE contentSize_{0, 0};
  // The busy look as rendered: the window stays enabled, its input controls do not.
  bool renderedBusy_ = false;
  bool busyCursor_ = false;
  size_t widgetRenders_ = 0;
  bool rendering_ = false;
  bool inTick_ = false;
  bool tickDue_ = false;  // the cycle's timer ticked while a cycle ran
  bool ending_ = false;
};

}  // namespace tarnwick::win32
