#include "main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "alert_setting_dialog.h"
#include "alerts/smtp_server_model.h"
#include "log_pane.h"
#include "monitor/main_window_model.h"
#include "pgm_setup_dialog.h"
#include "process/process_control.h"
#include "smtp_server_dialog.h"

namespace tarnwick {

namespace {

bool SameGeometry(const FormGeometry& a, const FormGeometry& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

void ApplyTitle(const std::string& caption, QGroupBox& frame) {
  const QString title = ToQString(caption);
  if (frame.title() != title) frame.setTitle(title);
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, QWidget* parent)
    : QMainWindow(parent), model_(model), form_(BuildMainWindowForm(*this)) {
  setObjectName(QStringLiteral("frmMain"));
  commandDefaultPalette_ = form_.Command1->palette();
  tmrUpdate_.setObjectName(QStringLiteral("tmrUpdate"));
  timer4_.setObjectName(QStringLiteral("Timer4"));
  timer5_.setObjectName(QStringLiteral("Timer5"));
  connect(&tmrUpdate_, &QTimer::timeout, this, &MainWindow::OnTmrUpdateTimeout);
  connect(&timer4_, &QTimer::timeout, this, [this] { Forward([this] { model_.OnTimer4Tick(); }); });
  connect(&timer5_, &QTimer::timeout, this, [this] { Forward([this] { model_.OnTimer5Tick(); }); });

  connect(form_.Command1, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnCommand1Click(); }); });
  connect(form_.Login, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnLoginClick(); }); });
  connect(form_.mStart, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnMStartClick(); }); });
  connect(form_.mAutostart, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnMAutostartClick(); }); });
  connect(form_.mnuQuit, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnMnuQuitClick(); }); });
  connect(form_.mViewLog, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnMViewLogClick(); }); });
  connect(form_.Setup, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnSetupClick(); }); });
  connect(form_.SMTPsetup, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnSMTPsetupClick(); }); });
  connect(form_.mPGMSetup, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnMPGMSetupClick(); }); });

  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(this);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              OnTrayActivated(static_cast<int>(reason));
            });
  }
}

MainWindow::~MainWindow() = default;

void MainWindow::Forward(const std::function<void()>& handler) {
  handler();
  Render();
}

void MainWindow::OnTmrUpdateTimeout() {
  // A cycle lets pending events run while it waits for its samples; a tick arriving meanwhile
  // would start a second cycle inside the first, so it is dropped.
  if (inTick_ || ending_) return;
  inTick_ = true;
  Forward([this] { model_.OnTmrUpdateTick(); });
  inTick_ = false;
}

void MainWindow::OnTrayActivated(int reason) {
  switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
    case QSystemTrayIcon::DoubleClick:
      Forward([this] { model_.OnTrayDoubleClick(); });
      break;
    case QSystemTrayIcon::Context:
      Forward([this] { model_.OnTrayRightClick(); });
      break;
    default:
      break;
  }
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || rendering_ || ending_) return;
  const WindowState state = isMinimized() ? WindowState::Minimized : WindowState::Normal;
  Forward([this, state] { model_.OnResize(state); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Once the program is ending, Qt's own shutdown may close the window again.
  if (!ending_) Forward([this] { model_.OnUnload(); });
  event->accept();
}

template <typename View, typename Model>
void MainWindow::SyncDialog(View*& view, Model& model) {
  if (model.state() == FormState::Shown) {
    if (view == nullptr)
      view = new View(
          model, [this] { Render(); }, this);
    view->Render();
    if (!view->isVisible()) {
      view->show();
      view->raise();
      view->activateWindow();
    }
  } else if (view != nullptr) {
    // Unloaded (Save, Cancel): the view goes once the event that closed it has finished; the
    // next showing builds a fresh one from the model.
    view->hide();
    view->deleteLater();
    view = nullptr;
  }
}

void MainWindow::RenderDialogs() {
  SyncDialog(alertSettingDialog_, model_.alertSetting());
  SyncDialog(smtpServerDialog_, model_.smtpServer());
  if (ProcessControl* control = model_.processControl()) {
    SyncDialog(pgmSetupDialog_, control->pgmSETUP());
  }
}

void MainWindow::Render() {
  if (rendering_) return;
  rendering_ = true;
  RenderMenus();
  RenderCpuFrame();
  RenderMemoryFrame();
  RenderStatus();
  form_.txtLog->Follow(model_.log());
  RenderTimers();
  RenderTray();
  RenderWindow();
  RenderDialogs();
  rendering_ = false;
  if (afterRender_) afterRender_();
  CarryOutRequests();
}

void MainWindow::RenderMenus() {
  ApplyMenuItem(model_.Setup, *form_.Setup);
  ApplyMenuItem(model_.mPGMSetup, *form_.mPGMSetup);
  ApplyMenuItem(model_.SMTPsetup, *form_.SMTPsetup);
  ApplyMenuItem(model_.Login, *form_.Login);
  ApplyMenuItem(model_.mStart, *form_.mStart);
  ApplyMenuItem(model_.mAutostart, *form_.mAutostart);
  ApplyMenuItem(model_.mnuQuit, *form_.mnuQuit);
  ApplyMenuItem(model_.mViewLog, *form_.mViewLog);
}

void MainWindow::RenderCpuFrame() {
  ApplyTitle(model_.Frame1Caption, *form_.Frame1);
  form_.CPU_Progress->setValue(model_.CPU_Progress.Value());
  ApplyLabel(model_.lblCPUValue[0], *form_.lblCPUValue[0]);
  ApplyLabel(model_.lblCPU_count, *form_.lblCPU_count);
  ApplyLabel(model_.lblNum_count[0], *form_.lblNum_count[0]);
  ApplyLabel(model_.lbl_Threshold[0], *form_.lbl_Threshold[0]);
  ApplyLabel(model_.Label6[0], *form_.Label6[0]);
  ApplyLabel(model_.pgmCPU, *form_.pgmCPU);
  ApplyLabel(model_.pgmCPU_Setting, *form_.pgmCPU_Setting);
  ApplyLabel(model_.pgmCPU_count, *form_.pgmCPU_count);
  ApplyLabel(model_.pgmCPU_Warn, *form_.pgmCPU_Warn);
}

void MainWindow::RenderMemoryFrame() {
  ApplyTitle(model_.Frame3Caption, *form_.Frame3);
  form_.RAM_Progress->setValue(model_.RAM_Progress.Value());
  ApplyLabel(model_.lblCPUValue[1], *form_.lblCPUValue[1]);
  for (int i = 0; i < 3; ++i) {
    ApplyLabel(model_.lblRamDisp[i], *form_.lblRamDisp[i]);
    ApplyLabel(model_.lblRamValue[i], *form_.lblRamValue[i]);
  }
  ApplyLabel(model_.lblmem_Count, *form_.lblmem_Count);
  ApplyLabel(model_.lblNum_count[1], *form_.lblNum_count[1]);
  ApplyLabel(model_.lbl_Threshold[1], *form_.lbl_Threshold[1]);
  ApplyLabel(model_.Label6[2], *form_.Label6[2]);
  ApplyLabel(model_.pgmMEM, *form_.pgmMEM);
  ApplyLabel(model_.pgmMEM_Setting, *form_.pgmMEM_Setting);
  ApplyLabel(model_.pgmMEM_Count, *form_.pgmMEM_Count);
  ApplyLabel(model_.pgmMEM_Alert, *form_.pgmMEM_Alert);
}

void MainWindow::RenderStatus() {
  ApplyButton(model_.Command1, commandDefaultPalette_, *form_.Command1);
  ApplyLabel(model_.lblTimeinterval, *form_.lblTimeinterval);
  ApplyLabel(model_.lblNum, *form_.lblNum);
  ApplyLabel(model_.Label4, *form_.Label4);
  ApplyLabel(model_.Label7, *form_.Label7);
  ApplyLabel(model_.Label5, *form_.Label5);
  ApplyLabel(model_.lbl_lastTime, *form_.lbl_lastTime);
}

void MainWindow::RenderTimers() {
  if (ending_) return;
  SyncTimer(model_.tmrUpdate, tmrUpdate_);
  SyncTimer(model_.Timer4, timer4_);
  SyncTimer(model_.Timer5, timer5_);
}

void MainWindow::RenderTray() {
  if (tray_ == nullptr) return;
  const QIcon& icon = icons_.Get(model_.trayIconPath);
  if (tray_->icon().cacheKey() != icon.cacheKey()) tray_->setIcon(icon);
  const QString tip = ToQString(model_.trayTip);
  if (tray_->toolTip() != tip) tray_->setToolTip(tip);
  const bool shown = model_.trayAdded && !ending_;
  if (tray_->isVisible() != shown) tray_->setVisible(shown);
}

void MainWindow::RenderWindow() {
  const QString title = ToQString(model_.caption);
  if (windowTitle() != title) setWindowTitle(title);
  const QIcon& icon = icons_.Get(model_.iconPath);
  if (windowIcon().cacheKey() != icon.cacheKey()) setWindowIcon(icon);
  setEnabled(model_.enabled);

  // The model's geometry is a wish: the window never gets smaller than its layout needs, and a
  // move by the user stands until the model asks for another place.
  if (!SameGeometry(model_.geometry, appliedGeometry_)) {
    appliedGeometry_ = model_.geometry;
    const QSize least = minimumSizeHint();
    resize(std::max(model_.geometry.width, least.width()),
           std::max(model_.geometry.height, least.height()));
    move(model_.geometry.left, model_.geometry.top);
  }

  if (ending_) return;
  if (!model_.visible) {
    if (isVisible()) hide();
  } else if (model_.windowState == WindowState::Minimized) {
    if (!isVisible() || !isMinimized()) showMinimized();
  } else if (!isVisible() || isMinimized()) {
    showNormal();
  }
}

void MainWindow::CarryOutRequests() {
  if (model_.foregroundRequested) {
    model_.foregroundRequested = false;
    raise();
    activateWindow();
  }
  if (model_.trayMenuRequested) {
    model_.trayMenuRequested = false;
    form_.fileMenu->popup(QCursor::pos());
  }
  if (model_.quitRequested) {
    model_.quitRequested = false;
    if (!ending_) {
      // The program ends with the next turn of the event loop; a cycle started before that would
      // run into the teardown.
      ending_ = true;
      for (QTimer* timer : {&tmrUpdate_, &timer4_, &timer5_}) timer->stop();
      if (tray_ != nullptr) tray_->hide();
      hide();
      emit programEnding();
    }
  }
}

}  // namespace tarnwick
