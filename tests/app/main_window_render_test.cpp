// The main window renders only what somebody can see: a tick that changes no control touches no
// widget and paints nothing, a hidden window renders nothing however much changes, and a window
// that comes back is current before its first paint.
#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "alert_setting_dialog.h"
#include "forms/main_window_model.h"
#include "log_pane.h"
#include "main_window.h"
#include "qt_test_app.h"
#include "qt_ui_services.h"
#include "unit/model_fixture.h"
#include "widget_driver.h"

namespace tarnwick::testing {
namespace {

// Counts the paint events of one window's widgets.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
  ~PaintCounter() override { qApp->removeEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window_) {
      ++paints;
    }
    return false;
  }

 private:
  QWidget* window_;
};

class MainWindowRenderTest : public ModelFixture {
 protected:
  std::unique_ptr<MainWindow> window;

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    model->OnLoad();
    window = std::make_unique<MainWindow>(*model);
    window->Render();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(50);  // the first paints
  }

  QString Shown(const char* name) { return FindWidget<QLabel>(window.get(), name)->text(); }

  // One monitor cycle with new figures and a new log line, through the model's own handlers.
  void ChangeEverything(int cpuPercent) {
    cpu.busy.push_back(cpuPercent);
    memory.available -= 100 * kMiB;
    clock.Advance(7);
    engine->cycleCountdown = 1;  // this tick runs a cycle
    model->OnTmrUpdateTick();
    engine->WriteLog("cycle at " + std::to_string(cpuPercent));
    window->Render();
  }

  void ExpectCurrent() {
    EXPECT_EQ(Shown("lblCPUValue[0]").toStdString(), model->lblCPUValue[0].caption);
    EXPECT_EQ(Shown("lblRamValue[1]").toStdString(), model->lblRamValue[1].caption);
    EXPECT_EQ(Shown("lbl_lastTime").toStdString(), model->lbl_lastTime.caption);
    EXPECT_EQ(FindWidget<QProgressBar>(window.get(), "CPU_Progress")->value(),
              model->CPU_Progress.Value());
    const QAbstractItemModel* rows = window->form().txtLog->model();
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(static_cast<size_t>(rows->rowCount()), engine->log().PaneLines().size());
    EXPECT_EQ(rows->index(0, 0).data().toString().toStdString(), engine->log().PaneLines().front());
  }
};

TEST_F(MainWindowRenderTest, TicksThatChangeNoControlRenderAndPaintNothing) {
  // Real ticks every 20 ms, none of which is due for a cycle.
  engine->settings.TimeInterval = "1000";
  engine->cycleCountdown = 1000;
  model->tmrUpdate.intervalMs = 20;
  window->Render();
  const size_t renders = window->WidgetRenders();
  PaintCounter counter(window.get());

  ASSERT_TRUE(QTest::qWaitFor([&] { return engine->cycleCountdown <= 990; }, 5000));
  QTest::qWait(50);
  EXPECT_EQ(window->WidgetRenders(), renders);
  EXPECT_EQ(counter.paints, 0);

  // The tick that runs a cycle changes the figures and renders them.
  cpu.busy.assign(5, 42);
  engine->cycleCountdown = 1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->WidgetRenders() > renders; }, 5000));
  EXPECT_EQ(Shown("lblCPUValue[0]"), QStringLiteral("42 %"));
  ExpectCurrent();
  // ... and paints them: the counter sees paints when there are any.
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 2000));
}

struct HiddenCase {
  const char* name;
  std::function<void(MainWindowModel&, MainWindow&)> hide;
};

void PrintTo(const HiddenCase& c, std::ostream* os) {
  *os << c.name;
}

class HiddenWindowTest : public MainWindowRenderTest,
                         public ::testing::WithParamInterface<HiddenCase> {};

TEST_P(HiddenWindowTest, RendersNothingWhileHiddenAndIsCurrentWhenShown) {
  ChangeEverything(10);
  GetParam().hide(*model, *window);
  window->Render();
  ASSERT_FALSE(window->isVisible() && !window->isMinimized());
  const size_t renders = window->WidgetRenders();
  const QString cpuShown = Shown("lblCPUValue[0]");
  PaintCounter counter(window.get());
  // The cycles go over the CPU threshold: the busy look before each process scan goes through
  // the program's own UI services and must not paint a window nobody sees.
  engine->settings.cpu_High = "15";
  QtUiServices qtUi;
  qtUi.SetBeforeEvents([this] { window->Render(); });
  int busyLooks = 0;
  int busyLookPaints = 0;
  ui.onShowNow = [&] {
    const int before = counter.paints;
    qtUi.ShowNow();
    busyLookPaints += counter.paints - before;
    ++busyLooks;
  };

  for (int cpuPercent : {20, 30, 40}) ChangeEverything(cpuPercent);
  QTest::qWait(50);
  EXPECT_EQ(busyLooks, 3);
  EXPECT_EQ(busyLookPaints, 0);
  EXPECT_EQ(window->WidgetRenders(), renders);
  // Without a tray (Qt's offscreen platform has none) a minimised window stays a minimised
  // window, which that platform may still repaint; what counts is that no widget was touched.
  if (!window->isVisible()) {
    EXPECT_EQ(counter.paints, 0);
  }
  EXPECT_EQ(Shown("lblCPUValue[0]"), cpuShown);  // untouched while nobody looks

  // Back from the tray: current at once, in one render.
  model->OnTrayDoubleClick();
  window->Render();
  ASSERT_TRUE(window->isVisible());
  EXPECT_EQ(window->WidgetRenders(), renders + 1);
  EXPECT_EQ(Shown("lblCPUValue[0]"), QStringLiteral("40 %"));
  ExpectCurrent();
}

INSTANTIATE_TEST_SUITE_P(
    Ways, HiddenWindowTest,
    ::testing::Values(
        HiddenCase{"Minimised",
                   [](MainWindowModel&, MainWindow& w) { w.setWindowState(Qt::WindowMinimized); }},
        HiddenCase{"HiddenByTheModel", [](MainWindowModel& m, MainWindow&) { m.visible = false; }}),
    [](const ::testing::TestParamInfo<HiddenCase>& p) { return std::string(p.param.name); });

// The busy look of every scan over the threshold greys the controls and shows the wait pointer,
// but an open menu and an open dialog stay open and usable through it.
TEST_F(MainWindowRenderTest, TheBusyLookLeavesAnOpenMenuAndDialogOpen) {
  engine->settings.cpu_High = "15";
  model->OnSetupClick();
  window->Render();
  QWidget* dialog = window->alertSettingDialog();
  ASSERT_NE(dialog, nullptr);
  QMenu* menu = window->form().fileMenu;
  menu->popup(window->mapToGlobal(QPoint(10, 10)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
  QWidget* controls = window->centralWidget();
  struct Look {
    bool windowEnabled, controlsEnabled, commandEnabled, waitPointer, menuOpen, dialogUsable;
  };
  std::vector<Look> looks;
  auto look = [&] {
    return Look{window->isEnabled(),
                controls->isEnabled(),
                window->form().Command1->isEnabled(),
                controls->cursor().shape() == Qt::WaitCursor,
                menu->isVisible(),
                dialog->isVisible() && dialog->isEnabled()};
  };
  ui.onShowNow = [&] {
    window->Render();
    looks.push_back(look());
  };

  for (int cpuPercent : {40, 50, 60, 70, 80}) {
    ChangeEverything(cpuPercent);
    QTest::qWait(20);
  }

  ASSERT_EQ(looks.size(), 5u);
  for (const Look& busy : looks) {
    EXPECT_TRUE(busy.windowEnabled);
    EXPECT_FALSE(busy.controlsEnabled);
    EXPECT_FALSE(busy.commandEnabled);
    EXPECT_TRUE(busy.waitPointer);
    EXPECT_TRUE(busy.menuOpen);
    EXPECT_TRUE(busy.dialogUsable);
  }
  const Look after = look();
  EXPECT_TRUE(after.controlsEnabled);
  EXPECT_TRUE(after.commandEnabled);
  EXPECT_FALSE(after.waitPointer);
  EXPECT_TRUE(after.menuOpen);
  EXPECT_TRUE(after.dialogUsable);
  menu->hide();
}

TEST_F(MainWindowRenderTest, WithoutADisplayTheWindowIsNeverShownNorRendered) {
  MainWindow unseen(*model);
  unseen.SetUnseen(true);
  for (int cpuPercent : {20, 30}) {
    ChangeEverything(cpuPercent);
    unseen.Render();
  }
  EXPECT_FALSE(unseen.isVisible());
  EXPECT_EQ(unseen.WidgetRenders(), 0u);
  // The timers still follow the model: the program goes on monitoring.
  EXPECT_EQ(unseen.tmrUpdate().isActive(), model->tmrUpdate.enabled);
}

}  // namespace
}  // namespace tarnwick::testing
