// The main window: a thin Qt view of MainWindowModel. It renders the model's controls, drives
// real timers from the model's timer state, forwards every event to the model's handler and
// renders again afterwards. The widgets are rendered only while somebody can see them, and only
// what changed since the last render: a hidden window costs no layout and no painting, and is
// brought up to date when it is shown.
#pragma once

#include <QMainWindow>
#include <QPalette>
#include <QTimer>
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "controls/form_controls.h"
#include "main_window_form.h"
#include "qt_render.h"

class QLabel;
class QSystemTrayIcon;

namespace tarnwick {

class AlertSettingDialog;
class PgmSetupDialog;
class SmtpServerDialog;

class MainWindowModel;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // The model must outlive the window. The tray entry exists only where the desktop has a tray.
  explicit MainWindow(MainWindowModel& model, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Brings every widget, the timers, the tray entry and the window itself in line with the
  // model, then carries out the model's one-shot requests and clears them.
  void Render();
  // Without a display nobody sees the window: it is never shown and its widgets never rendered.
  void SetUnseen(bool unseen) { unseen_ = unseen; }
  // Renders that changed at least one widget of the face (frames, status area, log, title).
  size_t WidgetRenders() const { return widgetRenders_; }

  const MainWindowForm& form() const { return form_; }
  QTimer& tmrUpdate() { return tmrUpdate_; }
  QTimer& Timer4() { return timer4_; }
  QTimer& Timer5() { return timer5_; }
  // The dialog views while shown (null otherwise).
  AlertSettingDialog* alertSettingDialog() const { return alertSettingDialog_; }
  SmtpServerDialog* smtpServerDialog() const { return smtpServerDialog_; }
  PgmSetupDialog* pgmSetupDialog() const { return pgmSetupDialog_; }
  // Null when the desktop has no system tray.
  QSystemTrayIcon* tray() const { return tray_; }

 signals:
  // The model asked to end the program; the tray entry is gone by then. The program connects it
  // to QCoreApplication::quit (queued, so that the event that led here finishes first).
  void programEnding();
  // The user clicked the tray's note of an event: the History window opens on it (`t` in history
  // seconds, `kind` a HistoryEventKind).
  void notificationClicked(qint64 t, int kind);

 protected:
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Runs a model handler and renders the result.
  void Forward(const std::function<void()>& handler);
  void OnTmrUpdateTimeout();
  void OnTrayActivated(int reason);
  // Tells the model of a resize or change of state that the user or the window system made.
  void ForwardResize(WindowState state);
  // Whether the desktop shows the tray entry right now.
  bool TrayShown() const;

  // What the frames, the status area, the log pane and the title bar show, as one value.
  struct Face {
    std::string frame1Caption;
    std::string frame3Caption;
    int cpuGauge = 0;
    int ramGauge = 0;
    std::array<Label, 30> labels;  // in the order of labelWidgets_
    Button command1;
    size_t logLinesWritten = 0;
    std::string caption;
    std::string iconPath;
  };
  Face CaptureFace() const;
  // Somebody can see the window's widgets: shown, not minimised, on a display.
  bool Seen() const;
  // Brings the widgets of the face in line with the model, touching only what changed.
  void RenderWidgets();

  void RenderMenus();
  void RenderTimers();
  void RenderTray();
  void RenderNotification();
  void RenderWindow();
  void RenderBusyLook();
  void RenderDialogs();
  void CarryOutRequests();
  // Shows, refreshes, hides or ends the view of one dialog model as its state says.
  template <typename View, typename Model>
  void SyncDialog(View*& view, Model& model);

  MainWindowModel& model_;
  MainWindowForm form_;
  QPalette commandDefaultPalette_;
  IconCache icons_;
  QTimer tmrUpdate_;
  QTimer timer4_;
  QTimer timer5_;
  QSystemTrayIcon* tray_ = nullptr;
  // Views of the dialogs while their models are loaded (owned through Qt's parent).
  AlertSettingDialog* alertSettingDialog_ = nullptr;
  SmtpServerDialog* smtpServerDialog_ = nullptr;
  PgmSetupDialog* pgmSetupDialog_ = nullptr;
  FormGeometry appliedGeometry_{-1, -1, -1, -1};
  // The label widgets with the model's labels they show, in the same order.
  std::array<QLabel*, 30> labelWidgets_{};
  std::array<const Label*, 30> labelControls_{};
  std::optional<std::array<MenuItem, 9>> renderedMenus_;  // none: never rendered
  std::optional<Face> renderedFace_;  // none: the widgets are not known to show anything
  size_t widgetRenders_ = 0;
  bool unseen_ = false;
  bool rendering_ = false;  // state changes made by Render are not events of the user
  bool inTick_ = false;     // a monitor cycle is running (and may be letting events run)
  bool tickDue_ = false;    // its timer ticked meanwhile
  bool ending_ = false;     // the quit request has been carried out
};

}  // namespace tarnwick
