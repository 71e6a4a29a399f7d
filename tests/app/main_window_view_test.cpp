// The main window view over a model on fake services: every widget shows its own control, events
// reach the model's handlers, and timers, window state and quit follow the model.
#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/main_window_model.h"
#include "log_pane.h"
#include "main_window.h"
#include "qt_test_app.h"
#include "qt_ui_services.h"
#include "theme_colours.h"
#include "unit/model_fixture.h"
#include "widget_driver.h"

namespace tarnwick::testing {
namespace {

class MainWindowViewTest : public ModelFixture {
 protected:
  std::unique_ptr<MainWindow> window;

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    memory.total = 8192 * kMiB;
    memory.available = 2048 * kMiB;
    processes.procs.clear();
    processes.Add(100, "postgres", 30, 300 * kMiB);
    model->OnLoad();
    window = std::make_unique<MainWindow>(*model);
    window->Render();
  }

  template <typename T>
  T* Widget(const char* name) {
    return FindWidget<T>(window.get(), name);
  }

  std::vector<std::string> PaneLines() {
    const QAbstractItemModel* rows = window->form().txtLog->model();
    std::vector<std::string> out;
    for (int row = 0; rows != nullptr && row < rows->rowCount(); ++row) {
      out.push_back(rows->index(row, 0).data().toString().toStdString());
    }
    return out;
  }
};

QColor FormColorOf(int bbggrr) {
  return QColor(bbggrr & 0xFF, (bbggrr >> 8) & 0xFF, bbggrr >> 16);
}

// Each label control with the model member it shows; the widget's objectName is the member's
// name as written here.
struct BoundLabel {
  const char* name;
  std::function<Label&(MainWindowModel&)> control;
};
#define TARNWICK_BOUND(member)                                      \
  BoundLabel {                                                      \
#member, [](MainWindowModel & m) -> Label& { return m.member; } \
  }
const BoundLabel kBoundLabels[] = {
    TARNWICK_BOUND(lblCPUValue[0]),   TARNWICK_BOUND(lblCPUValue[1]),
    TARNWICK_BOUND(lblRamValue[0]),   TARNWICK_BOUND(lblRamValue[1]),
    TARNWICK_BOUND(lblRamValue[2]),   TARNWICK_BOUND(lblRamDisp[0]),
    TARNWICK_BOUND(lblRamDisp[1]),    TARNWICK_BOUND(lblRamDisp[2]),
    TARNWICK_BOUND(lblCPU_count),     TARNWICK_BOUND(lblmem_Count),
    TARNWICK_BOUND(lblNum_count[0]),  TARNWICK_BOUND(lblNum_count[1]),
    TARNWICK_BOUND(lbl_Threshold[0]), TARNWICK_BOUND(lbl_Threshold[1]),
    TARNWICK_BOUND(Label6[0]),        TARNWICK_BOUND(Label6[2]),
    TARNWICK_BOUND(pgmCPU),           TARNWICK_BOUND(pgmCPU_Setting),
    TARNWICK_BOUND(pgmCPU_count),     TARNWICK_BOUND(pgmCPU_Warn),
    TARNWICK_BOUND(pgmMEM),           TARNWICK_BOUND(pgmMEM_Setting),
    TARNWICK_BOUND(pgmMEM_Count),     TARNWICK_BOUND(pgmMEM_Alert),
    TARNWICK_BOUND(lblTimeinterval),  TARNWICK_BOUND(lblNum),
    TARNWICK_BOUND(Label4),           TARNWICK_BOUND(Label7),
    TARNWICK_BOUND(Label5),           TARNWICK_BOUND(lbl_lastTime),
};
#undef TARNWICK_BOUND

TEST_F(MainWindowViewTest, EveryLabelShowsItsOwnControlsCaptionColourAndVisibility) {
  int i = 0;
  for (const BoundLabel& bound : kBoundLabels) {
    Label& label = bound.control(*model);
    label.caption = std::string("caption of ") + bound.name;
    label.foreColor = i % 2 == 0 ? kColorRed : kColorBlack;
    label.visible = i % 3 != 0;
    ++i;
  }
  window->Render();
  for (const BoundLabel& bound : kBoundLabels) {
    SCOPED_TRACE(bound.name);
    const Label& label = bound.control(*model);
    auto* widget = Widget<QLabel>(bound.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->text().toStdString(), label.caption);
    // The forms' black is the theme's text; red is the theme's readable red.
    const QPalette& theme = widget->parentWidget()->palette();
    const QColor expected =
        label.foreColor == kColorBlack
            ? theme.color(QPalette::WindowText)
            : ReadableOn(FormColorOf(label.foreColor), theme.color(QPalette::Window));
    EXPECT_EQ(widget->palette().color(QPalette::WindowText), expected);
    EXPECT_EQ(widget->isHidden(), !label.visible);
  }
}

// A server's reply, a program's name or a process name lands in labels as it came: every label
// shows it as the characters it is made of, never as markup or a link.
TEST_F(MainWindowViewTest, EveryLabelShowsMarkupAsItsCharacters) {
  for (const BoundLabel& bound : kBoundLabels) bound.control(*model).caption = kMarkupText;
  window->Render();
  for (const BoundLabel& bound : kBoundLabels) {
    EXPECT_EQ(ShownText(*Widget<QLabel>(bound.name)), kMarkupText) << bound.name;
  }
  ExpectOnlyPlainLabels(window.get());
}

TEST_F(MainWindowViewTest, MonitorCycleReachesGaugesLabelsCaptionAndMenus) {
  cpu.busy.push_back(37);
  engine->Monitor();
  window->Render();

  EXPECT_EQ(Widget<QProgressBar>("CPU_Progress")->value(), 37);
  EXPECT_EQ(Widget<QProgressBar>("RAM_Progress")->value(), 75);  // 6144 of 8192 MiB used
  EXPECT_EQ(Widget<QLabel>("lblCPUValue[0]")->text(), QStringLiteral("37 %"));
  EXPECT_EQ(Widget<QLabel>("lblRamValue[0]")->text(), QStringLiteral("8192"));
  EXPECT_EQ(Widget<QLabel>("lblRamValue[1]")->text(), QStringLiteral("2048"));
  EXPECT_EQ(Widget<QLabel>("lblRamValue[2]")->text(), QStringLiteral("6144"));
  EXPECT_EQ(window->windowTitle().toStdString(), model->caption);
  EXPECT_EQ(window->form().Frame3->title(), QStringLiteral("Memory (MB)"));

  // Menu entries take caption and visibility from the model; "&" stays Qt's mnemonic mark.
  model->mStart.visible = false;
  model->mViewLog.enabled = false;
  window->Render();
  EXPECT_EQ(window->form().mViewLog->text(), QStringLiteral("&View Log"));
  EXPECT_FALSE(window->form().mStart->isVisible());
  EXPECT_FALSE(window->form().mViewLog->isEnabled());
}

TEST_F(MainWindowViewTest, Command1ClicksFlipMonitoringAndTheTimerFollowsWithoutRestarting) {
  QPushButton* command = window->form().Command1;
  // OnLoad starts monitoring.
  ASSERT_EQ(model->Command1.caption, "Stop");
  ASSERT_TRUE(window->tmrUpdate().isActive());
  // A render that changes nothing keeps the running timer's phase: a restart would put the next
  // tick a whole interval away again. (Coarse timers may move a tick by 5%.)
  ASSERT_EQ(window->tmrUpdate().interval(), 1000);
  QTest::qWait(300);
  window->Render();
  EXPECT_LT(window->tmrUpdate().remainingTime(), 850);

  for (const char* expected : {"Start", "Stop", "Start"}) {
    SCOPED_TRACE(expected);
    QTest::mouseClick(command, Qt::LeftButton);
    EXPECT_EQ(model->Command1.caption, expected);
    EXPECT_EQ(command->text().toStdString(), expected);
    EXPECT_EQ(command->palette().color(QPalette::Button), FormColorOf(model->Command1.backColor));
    EXPECT_EQ(window->tmrUpdate().isActive(), model->tmrUpdate.enabled);
    EXPECT_EQ(window->tmrUpdate().interval(), model->tmrUpdate.intervalMs);
    EXPECT_EQ(window->form().mStart->text().toStdString(), model->mStart.caption);
  }
  EXPECT_FALSE(window->tmrUpdate().isActive());
  EXPECT_EQ(model->Command1.backColor, kColorRed);
  // The pane shows the stop on top.
  EXPECT_TRUE(PaneLines().front().ends_with(kMonitoringStopped)) << PaneLines().front();
}

TEST_F(MainWindowViewTest, TimerTicksRunMonitorCyclesThroughTheRealTimer) {
  engine->settings.TimeInterval = "1";
  engine->cycleCountdown = 1;
  model->tmrUpdate.intervalMs = 20;
  window->Render();
  cpu.busy.assign(50, 64);
  const std::string before = model->lbl_lastTime.caption;
  clock.Advance(3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->lbl_lastTime.caption != before; }, 5000));
  window->Render();
  EXPECT_EQ(Widget<QLabel>("lbl_lastTime")->text().toStdString(), model->lbl_lastTime.caption);
  EXPECT_EQ(Widget<QProgressBar>("CPU_Progress")->value(), 64);
  EXPECT_TRUE(window->tmrUpdate().isActive());
}

TEST_F(MainWindowViewTest, WrittenLinesAppearOnTopOfThePane) {
  engine->WriteLog("disk check done");
  window->Render();
  const std::vector<std::string> lines = PaneLines();
  ASSERT_EQ(lines.size(), engine->log().PaneLines().size());
  EXPECT_EQ(lines.front(), engine->log().PaneLines().front());
  EXPECT_TRUE(lines.front().ends_with(" - disk check done"));
}

TEST_F(MainWindowViewTest, WithoutATrayMinimisingLeavesTheWindowToBeRestored) {
  ASSERT_EQ(window->tray(), nullptr) << "the offscreen platform has no tray";
  EXPECT_FALSE(model->trayShown);
  window->show();
  window->setWindowState(Qt::WindowMinimized);
  EXPECT_EQ(model->windowState, WindowState::Minimized);
  EXPECT_TRUE(model->visible);
  EXPECT_TRUE(window->isVisible()) << "hidden, nothing could bring the window back";
  EXPECT_TRUE(window->isMinimized());

  // The task bar restores it.
  window->setWindowState(Qt::WindowNoState);
  EXPECT_EQ(model->windowState, WindowState::Normal);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());
}

TEST_F(MainWindowViewTest, TheFileMenuNeverOffersTheTraysStartStopEntry) {
  window->show();
  EXPECT_FALSE(window->form().mStart->isVisible());
  EXPECT_TRUE(window->form().mnuQuit->isVisible());
}

TEST_F(MainWindowViewTest, TrayDoubleClickBringsTheWindowBackCentredEvenAfterAMove) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  const QPoint centre(model->geometry.left, model->geometry.top);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->pos() == centre; }, 2000)) << window->pos().x();
  // The user drags the window to a corner, then it goes into the tray.
  window->move(5, 7);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->pos() == QPoint(5, 7); }, 2000));
  model->visible = false;
  window->Render();
  ASSERT_FALSE(window->isVisible());

  model->OnTrayDoubleClick();
  window->Render();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->pos() == centre; }, 2000))
      << window->pos().x() << "," << window->pos().y();
}

// A window resized by the user keeps that size through the tray and back, and the resize alone
// hides the tray's Start/Stop entry.
TEST_F(MainWindowViewTest, TheUsersSizeStaysThroughTheTrayAndAResizeHidesTheTrayEntry) {
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  model->mStart.visible = true;  // as the tray's right click leaves it
  window->Render();
  // The user drags the window to a corner and makes it larger.
  window->move(5, 7);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->pos() == QPoint(5, 7); }, 2000));
  const QSize chosen = window->size() + QSize(150, 90);
  window->resize(chosen);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->size() == chosen; }, 2000));
  EXPECT_FALSE(model->mStart.visible);
  EXPECT_FALSE(window->form().mStart->isVisible());

  model->visible = false;
  window->Render();
  ASSERT_FALSE(window->isVisible());
  model->OnTrayDoubleClick();
  window->Render();
  const QPoint centre(model->geometry.left, model->geometry.top);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->pos() == centre; }, 2000))
      << window->pos().x() << "," << window->pos().y();
  EXPECT_EQ(window->size(), chosen);
  EXPECT_EQ(model->geometry.width, chosen.width());
}

// The busy look of the process scan reaches the widgets before the scan, through the program's
// own UI services.
TEST_F(MainWindowViewTest, TheBusyLookIsOnTheWindowWhileTheProcessesAreScanned) {
  window->show();
  QtUiServices qtUi;
  qtUi.SetBeforeEvents([this] { window->Render(); });
  QString titleShown;
  bool enabledShown = true;
  ui.onShowNow = [&] {
    qtUi.ShowNow();
    titleShown = window->windowTitle();
    enabledShown = window->centralWidget()->isEnabled();
  };
  cpu.busy.push_back(99);
  engine->settings.cpu_High = "50";
  engine->Monitor();
  EXPECT_EQ(titleShown, QStringLiteral("Waiting to get CPU usage information..."));
  EXPECT_FALSE(enabledShown);
  window->Render();
  EXPECT_TRUE(window->centralWidget()->isEnabled());
  EXPECT_NE(window->windowTitle(), titleShown);
}

TEST_F(MainWindowViewTest, ClosingTheWindowEndsTheProgramOnce) {
  window->show();
  QSignalSpy ending(window.get(), &MainWindow::programEnding);
  EXPECT_TRUE(window->close());
  EXPECT_EQ(ending.count(), 1);
  EXPECT_FALSE(model->quitRequested);  // carried out and cleared
  EXPECT_FALSE(model->trayAdded);
  EXPECT_FALSE(window->tmrUpdate().isActive());
  EXPECT_FALSE(window->isVisible());

  // Qt's own shutdown closes the window again; that is no second quit.
  window->show();
  window->close();
  EXPECT_EQ(ending.count(), 1);
}

}  // namespace
}  // namespace tarnwick::testing
