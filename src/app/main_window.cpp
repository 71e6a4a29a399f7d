#include "main_window.h"

#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMoveEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSystemTrayIcon>
#include <utility>

#include "alert_setting_dialog.h"
#include "forms/main_window_model.h"
#include "forms/pgm_setup_model.h"
#include "forms/smtp_server_model.h"
#include "log_pane.h"
#include "pgm_setup_dialog.h"
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
  MainWindowModel& m = model_;
  const std::pair<const Label*, QLabel*> labels[] = {
      {&m.lblCPUValue[0], form_.lblCPUValue[0]},
      {&m.lblCPU_count, form_.lblCPU_count},
      {&m.lblNum_count[0], form_.lblNum_count[0]},
      {&m.lbl_Threshold[0], form_.lbl_Threshold[0]},
      {&m.Label6[0], form_.Label6[0]},
      {&m.pgmCPU, form_.pgmCPU},
      {&m.pgmCPU_Setting, form_.pgmCPU_Setting},
      {&m.pgmCPU_count, form_.pgmCPU_count},
      {&m.pgmCPU_Warn, form_.pgmCPU_Warn},
      {&m.lblCPUValue[1], form_.lblCPUValue[1]},
      {&m.lblRamDisp[0], form_.lblRamDisp[0]},
      {&m.lblRamValue[0], form_.lblRamValue[0]},
      {&m.lblRamDisp[1], form_.lblRamDisp[1]},
      {&m.lblRamValue[1], form_.lblRamValue[1]},
      {&m.lblRamDisp[2], form_.lblRamDisp[2]},
      {&m.lblRamValue[2], form_.lblRamValue[2]},
      {&m.lblmem_Count, form_.lblmem_Count},
      {&m.lblNum_count[1], form_.lblNum_count[1]},
      {&m.lbl_Threshold[1], form_.lbl_Threshold[1]},
      {&m.Label6[2], form_.Label6[2]},
      {&m.pgmMEM, form_.pgmMEM},
      {&m.pgmMEM_Setting, form_.pgmMEM_Setting},
      {&m.pgmMEM_Count, form_.pgmMEM_Count},
      {&m.pgmMEM_Alert, form_.pgmMEM_Alert},
      {&m.lblTimeinterval, form_.lblTimeinterval},
      {&m.lblNum, form_.lblNum},
      {&m.Label4, form_.Label4},
      {&m.Label7, form_.Label7},
      {&m.Label5, form_.Label5},
      {&m.lbl_lastTime, form_.lbl_lastTime},
  };
  static_assert(std::size(labels) == std::tuple_size_v<decltype(labelWidgets_)>);
  for (size_t i = 0; i < std::size(labels); ++i) {
    labelControls_[i] = labels[i].first;
    labelWidgets_[i] = labels[i].second;
  }
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
  connect(form_.mNotify, &QAction::triggered, this,
          [this] { Forward([this] { model_.OnMNotifyClick(); }); });
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
    connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] {
      if (const auto note = model_.notifications().OnClick()) {
        emit notificationClicked(note->t, static_cast<int>(note->kind));
      }
    });
  }
  model_.trayShown = TrayShown();
}

bool MainWindow::TrayShown() const {
  return tray_ != nullptr && tray_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

MainWindow::~MainWindow() = default;

void MainWindow::Forward(const std::function<void()>& handler) {
  handler();
  Render();
}

void MainWindow::OnTmrUpdateTimeout() {
  if (ending_) return;
  // A cycle lets pending events run while it waits for its samples; a tick arriving meanwhile
  // would start a second cycle inside the first, so it runs once the first has ended: a long
  // cycle delays a sample, it does not lose one.
  if (inTick_) {
    tickDue_ = true;
    return;
  }
  inTick_ = true;
  do {
    tickDue_ = false;
    Forward([this] { model_.OnTmrUpdateTick(); });
  } while (tickDue_ && !ending_);
  inTick_ = false;
  RenderTimers();
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
  // A new theme: the labels take its colours with the next render of every widget.
  if (event->type() == QEvent::PaletteChange && !rendering_) {
    renderedFace_.reset();
    RenderWidgets();
    return;
  }
  if (event->type() != QEvent::WindowStateChange || rendering_ || ending_) return;
  ForwardResize(isMinimized() ? WindowState::Minimized : WindowState::Normal);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // Sizes set by Render are the model's own; a hidden or minimised window has no size to keep.
  if (rendering_ || ending_ || !isVisible() || isMinimized()) return;
  ForwardResize(WindowState::Normal);
}

void MainWindow::ForwardResize(WindowState state) {
  // The tray can come and go with the desktop's panel; what counts is whether it is there now.
  model_.trayShown = TrayShown();
  std::optional<FormSize> size;
  if (state == WindowState::Normal) {
    // A maximised window comes back to its normal size, which is the one to keep.
    const QSize normal = isMaximized() || isFullScreen() ? normalGeometry().size() : this->size();
    if (normal.isValid()) size = FormSize{normal.width(), normal.height()};
  }
  const bool placed = SameGeometry(model_.geometry, appliedGeometry_);
  model_.OnResize(state, size);
  // The window has that size already: the render has nothing to resize.
  if (placed) appliedGeometry_ = model_.geometry;
  Render();
}

void MainWindow::showEvent(QShowEvent* event) {
  // Shown by the window system or by a caller outside Render: the widgets catch up before the
  // first paint. A show inside Render is followed by its own widget render.
  if (!rendering_) {
    RenderBusyLook();
    RenderWidgets();
  }
  QMainWindow::showEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  // A place the user chose (or the window manager gave) becomes the model's, so that a later
  // CenterForm is a change the next render carries out.
  if (rendering_ || ending_ || !isVisible()) return;
  model_.geometry.left = x();
  model_.geometry.top = y();
  appliedGeometry_ = model_.geometry;
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
  if (PgmSetupModel* program = model_.pgmSETUP()) {
    SyncDialog(pgmSetupDialog_, *program);
  }
}

void MainWindow::Render() {
  if (rendering_) return;
  rendering_ = true;
  // Menus, timers, the tray entry and the window's own state are cheap and matter while the
  // window is hidden (the tray's pop-up menu is the File menu); the widgets come after the window
  // is shown or hidden, so that a window that just came up is rendered at once.
  RenderMenus();
  RenderTimers();
  RenderTray();
  RenderWindow();
  RenderWidgets();
  RenderDialogs();
  rendering_ = false;
  CarryOutRequests();
}

bool MainWindow::Seen() const {
  return !unseen_ && isVisible() && !isMinimized();
}

MainWindow::Face MainWindow::CaptureFace() const {
  Face face;
  face.frame1Caption = model_.Frame1Caption;
  face.frame3Caption = model_.Frame3Caption;
  face.cpuGauge = model_.CPU_Progress.Value();
  face.ramGauge = model_.RAM_Progress.Value();
  for (size_t i = 0; i < labelControls_.size(); ++i) face.labels[i] = *labelControls_[i];
  face.command1 = model_.Command1;
  face.logLinesWritten = model_.log().LinesWritten();
  face.caption = model_.caption;
  face.iconPath = model_.iconPath;
  return face;
}

void MainWindow::RenderWidgets() {
  if (!Seen()) return;
  Face face = CaptureFace();
  // Without a face rendered before, every widget is brought in line.
  const Face* last = renderedFace_ ? &*renderedFace_ : nullptr;
  bool changed = false;
  // Runs `apply` when the member differs from the face rendered last.
  auto renderIfChanged = [&](auto member, auto apply) {
    if (last != nullptr && face.*member == last->*member) return;
    apply(face.*member);
    changed = true;
  };
  renderIfChanged(&Face::frame1Caption,
                  [&](const std::string& t) { ApplyTitle(t, *form_.Frame1); });
  renderIfChanged(&Face::frame3Caption,
                  [&](const std::string& t) { ApplyTitle(t, *form_.Frame3); });
  renderIfChanged(&Face::cpuGauge, [&](int value) { form_.CPU_Progress->setValue(value); });
  renderIfChanged(&Face::ramGauge, [&](int value) { form_.RAM_Progress->setValue(value); });
  for (size_t i = 0; i < face.labels.size(); ++i) {
    if (last != nullptr && face.labels[i] == last->labels[i]) continue;
    ApplyLabel(face.labels[i], *labelWidgets_[i]);
    changed = true;
  }
  renderIfChanged(&Face::command1, [&](const Button& button) {
    ApplyButton(button, commandDefaultPalette_, *form_.Command1);
  });
  renderIfChanged(&Face::logLinesWritten, [&](size_t) { form_.txtLog->Follow(model_.log()); });
  renderIfChanged(&Face::caption, [&](const std::string& text) {
    const QString title = ToQString(text);
    if (windowTitle() != title) setWindowTitle(title);
  });
  renderIfChanged(&Face::iconPath, [&](const std::string& path) {
    const QIcon& icon = icons_.Get(path);
    if (windowIcon().cacheKey() != icon.cacheKey()) setWindowIcon(icon);
  });
  if (changed) ++widgetRenders_;
  renderedFace_ = std::move(face);
}

void MainWindow::RenderMenus() {
  const std::pair<const MenuItem*, QAction*> menus[] = {
      {&model_.Setup, form_.Setup},         {&model_.mPGMSetup, form_.mPGMSetup},
      {&model_.SMTPsetup, form_.SMTPsetup}, {&model_.Login, form_.Login},
      {&model_.mStart, form_.mStart},       {&model_.mAutostart, form_.mAutostart},
      {&model_.mnuQuit, form_.mnuQuit},     {&model_.mViewLog, form_.mViewLog},
      {&model_.mNotify, form_.mNotify},
  };
  bool changed = !renderedMenus_;
  for (size_t i = 0; i < std::size(menus); ++i) {
    const MenuItem& item = *menus[i].first;
    QAction& action = *menus[i].second;
    // Menus rarely change, and a cycle comes every second: an item reaches Qt only when it
    // changed. The check mark is compared with the action, which a click toggles by itself.
    if (renderedMenus_ && item == (*renderedMenus_)[i] &&
        (!item.checkable || action.isChecked() == item.checked)) {
      continue;
    }
    ApplyMenuItem(item, action);
    changed = true;
  }
  if (!changed) return;
  renderedMenus_.emplace();
  static_assert(std::size(menus) == std::tuple_size_v<decltype(renderedMenus_)::value_type>);
  for (size_t i = 0; i < std::size(menus); ++i) (*renderedMenus_)[i] = *menus[i].first;
}

void MainWindow::RenderTimers() {
  if (ending_) return;
  // The cycle switches its timer off while it runs; the timer keeps running, so that the next
  // tick keeps its place instead of counting from the cycle's end.
  if (!inTick_) SyncTimer(model_.tmrUpdate, tmrUpdate_);
  SyncTimer(model_.Timer4, timer4_);
  SyncTimer(model_.Timer5, timer5_);
}

void MainWindow::RenderTray() {
  RenderNotification();
  if (tray_ == nullptr) return;
  const QIcon& icon = icons_.Get(model_.trayIconPath);
  if (tray_->icon().cacheKey() != icon.cacheKey()) tray_->setIcon(icon);
  const QString tip = ToQString(model_.trayTip);
  if (tray_->toolTip() != tip) tray_->setToolTip(tip);
  const bool shown = model_.trayAdded && !ending_;
  if (tray_->isVisible() != shown) tray_->setVisible(shown);
  model_.trayShown = TrayShown();
}

// Without a tray there is no hidden window, and no place for a note: it is dropped.
void MainWindow::RenderNotification() {
  DesktopNotifications& notes = model_.notifications();
  if (notes.pending && TrayShown() && !ending_) {
    tray_->showMessage(ToQString(notes.pending->title), ToQString(notes.pending->text),
                       QSystemTrayIcon::Warning);
  }
  notes.OnShown();
}

// The model's `enabled` off is the busy look of a scan: the wait pointer and the controls
// disabled. The window itself stays enabled: it owns the menu bar, the tray's pop-up menu and the
// settings dialogs, and disabling it would grey an open menu or dialog under the user's pointer.
void MainWindow::RenderBusyLook() {
  QWidget* controls = centralWidget();
  if (controls == nullptr) return;
  const bool busy = !model_.enabled;
  // Enabling or disabling repaints every child: a minimised window (without a tray it stays
  // minimised, not hidden) catches up when it is seen again.
  if (Seen() && controls->isEnabled() == busy) controls->setEnabled(!busy);
  const bool waiting = controls->testAttribute(Qt::WA_SetCursor);
  if (busy && !waiting) {
    controls->setCursor(Qt::WaitCursor);
  } else if (!busy && waiting) {
    controls->unsetCursor();
  }
}

void MainWindow::RenderWindow() {
  RenderBusyLook();

  // The model's geometry is a wish: the window never gets smaller than its layout needs, and a
  // move by the user stands until the model asks for another place.
  if (!SameGeometry(model_.geometry, appliedGeometry_)) {
    appliedGeometry_ = model_.geometry;
    const QSize least = minimumSizeHint();
    resize(std::max(model_.geometry.width, least.width()),
           std::max(model_.geometry.height, least.height()));
    move(model_.geometry.left, model_.geometry.top);
  }

  if (ending_ || unseen_) return;
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
