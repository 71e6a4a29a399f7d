// The main window: a thin Qt view of MainWindowModel. It renders the model's controls, drives
// real timers from the model's timer state, forwards every event to the model's handler and
// renders again afterwards.
#pragma once

#include <QMainWindow>
#include <QPalette>
#include <QTimer>
#include <functional>

#include "main_window_form.h"
#include "monitor/form_controls.h"
#include "qt_render.h"

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
  // Runs at the end of every Render (the headless program reports status changes from it).
  void SetAfterRender(std::function<void()> hook) { afterRender_ = std::move(hook); }

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

 protected:
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs a model handler and renders the result.
  void Forward(const std::function<void()>& handler);
  void OnTmrUpdateTimeout();
  void OnTrayActivated(int reason);
  // Whether the desktop shows the tray entry right now.
  bool TrayShown() const;

  void RenderMenus();
  void RenderCpuFrame();
  void RenderMemoryFrame();
  void RenderStatus();
  void RenderTimers();
  void RenderTray();
  void RenderWindow();
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
  std::function<void()> afterRender_;
  bool rendering_ = false;  // state changes made by Render are not events of the user
  bool inTick_ = false;     // a monitor cycle is running (and may be letting events run)
  bool ending_ = false;     // the quit request has been carried out
};

}  // namespace tarnwick
