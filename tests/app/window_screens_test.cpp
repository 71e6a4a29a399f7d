// The History and Processes windows on a small screen: run once on a 1366x768 screen and once on
// a 2732x1536 screen at scale 2 (the same room in logical pixels). Each opens within 90 % of the
// screen's available area and wholly on it, comes back where the user left it, lays out at
// 800x600 without a cut label or button, closes on Escape and Ctrl+W and has the program's icon.
// Where it was left is kept in windows.ini for the next run of the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "domain/history_time.h"
#include "forms/window_places.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "qt_test_app.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

class WindowScreensTest : public ModelFixture {
 public:
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<SqliteHistoryStore> store;
  std::unique_ptr<HistoryWindowModel> history;
  std::unique_ptr<HistoryWindow> historyView;
  std::unique_ptr<ProcessesWindowModel> processesModel;
  std::unique_ptr<ProcessesWindow> processesView;

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    std::filesystem::copy_file(std::string(TARNWICK_PROGRAM_DIR) + "/eyerun.ico",
                               system.programFolder + "/eyerun.ico");
    Load();
    window = std::make_unique<MainWindow>(*model);
    window->Render();
    store = std::make_unique<SqliteHistoryStore>(dir / "Tarnwick_history.sqlite");
    const int64_t now = ToHistorySeconds(clock.now);
    HistoryBatch b;
    for (int64_t t = now - 3000; t < now; t += 10) b.samples.push_back({t, 30, 60, 6000});
    ASSERT_TRUE(store->Append(b).ok);
    history = std::make_unique<HistoryWindowModel>(clock, engine->settings, store.get(), nullptr);
    historyView = std::make_unique<HistoryWindow>(*history);
    AddHistoryMenu(*window, *history, *historyView);
    processesModel = std::make_unique<ProcessesWindowModel>(engine->processSampler(), *engine,
                                                            system.suffix, nullptr);
    engine->Listen(processesModel.get());
    processesView = std::make_unique<ProcessesWindow>(*processesModel);
    AddProcessesMenu(*window, *processesModel, *processesView);
  }
  void TearDown() override { engine->Unlisten(processesModel.get()); }

 protected:
  void Open(const char* menuItem) {
    auto* action = window->form().logMenu->findChild<QAction*>(menuItem);
    ASSERT_NE(action, nullptr);
    action->trigger();
  }
};

struct WindowCase {
  const char* name;
  const char* menuItem;
  std::function<QWidget*(WindowScreensTest&)> view;
  std::function<bool(WindowScreensTest&)> modelVisible;
  std::string_view placeName;
  std::function<void(WindowScreensTest&, WindowPlaces&)> usePlaces;
  std::function<void(WindowScreensTest&)> endView;  // as the program ends
};

void PrintTo(const WindowCase& c, std::ostream* os) {
  *os << c.name;
}

class ScreenWindowTest : public WindowScreensTest,
                         public ::testing::WithParamInterface<WindowCase> {
 protected:
  QWidget* View() { return GetParam().view(*this); }
  void OpenIt() { Open(GetParam().menuItem); }
};

const WindowCase kWindows[] = {
    {"History", "mHistory", [](WindowScreensTest& t) -> QWidget* { return t.historyView.get(); },
     [](WindowScreensTest& t) { return t.history->visible; }, kHistoryPlaceName,
     [](WindowScreensTest& t, WindowPlaces& p) { t.historyView->UsePlaces(p); },
     [](WindowScreensTest& t) { t.historyView.reset(); }},
    {"Processes", "mProcesses",
     [](WindowScreensTest& t) -> QWidget* { return t.processesView.get(); },
     [](WindowScreensTest& t) { return t.processesModel->visible; }, kProcessesPlaceName,
     [](WindowScreensTest& t, WindowPlaces& p) { t.processesView->UsePlaces(p); },
     [](WindowScreensTest& t) { t.processesView.reset(); }},
};

TEST_P(ScreenWindowTest, OpensWithinTheScreenAndComesBackWhereItWasLeft) {
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_EQ(room.size(), QSize(1366, 768)) << "the test's screen, in logical pixels";
  OpenIt();
  QWidget* view = View();
  ASSERT_TRUE(view->isVisible());
  const QRect opened = view->geometry();
  EXPECT_LE(opened.width(), room.width() * 0.9);
  EXPECT_LE(opened.height(), room.height() * 0.9);
  EXPECT_TRUE(room.contains(opened)) << "wholly on the screen";

  view->setGeometry(100, 50, 900, 600);
  view->close();
  EXPECT_FALSE(GetParam().modelVisible(*this));
  OpenIt();
  EXPECT_EQ(view->geometry(), QRect(100, 50, 900, 600));
  view->close();
}

// Each run reads the file afresh: a place left in one run is the next run's, and one that no
// longer fits (the screen has shrunk since) is fitted into the screen.
TEST_P(ScreenWindowTest, ThePlaceLeftInOneRunIsWhereTheNextOpensIt) {
  const std::string path = dir / "windows.ini";
  const auto log = [](const std::string&) {};
  const std::string screen = QGuiApplication::primaryScreen()->name().toStdString();
  {
    WindowPlaces firstRun(files, path, log);
    firstRun.Load();
    GetParam().usePlaces(*this, firstRun);
    OpenIt();
    View()->setGeometry(120, 40, 880, 560);
    View()->close();
  }
  WindowPlaces nextRun(files, path, log);
  nextRun.Load();
  EXPECT_EQ(nextRun.Find(GetParam().placeName, screen), (PlaceRect{120, 40, 880, 560}));
  GetParam().usePlaces(*this, nextRun);
  OpenIt();
  EXPECT_EQ(View()->geometry(), QRect(120, 40, 880, 560));

  // The program ends with the window open, moved off the screen's right edge and too wide.
  View()->setGeometry(1000, 100, 1360, 600);
  GetParam().endView(*this);
  WindowPlaces thirdRun(files, path, log);
  thirdRun.Load();
  EXPECT_EQ(thirdRun.Find(GetParam().placeName, screen), (PlaceRect{1000, 100, 1360, 600}));
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  const PlaceRect fitted = FitPlace(thirdRun.Find(GetParam().placeName, screen), 0, 0, 0, 0,
                                    {room.left(), room.top(), room.width(), room.height()});
  EXPECT_EQ(fitted, (PlaceRect{room.right() + 1 - 1229, 100, 1229, 600}));
}

TEST_P(ScreenWindowTest, LaysOutAt800x600WithoutACutLabelOrButton) {
  OpenIt();
  QWidget* view = View();
  view->resize(800, 600);
  QTest::qWait(20);
  EXPECT_EQ(view->size(), QSize(800, 600));
  for (QLabel* label : view->findChildren<QLabel*>()) {
    // Labels of a fixed line count shorten their text on purpose and show it whole as a tip.
    if (!label->isVisibleTo(view) || dynamic_cast<FixedTextLabel*>(label) != nullptr) continue;
    const std::string name =
        label->objectName().toStdString() + " \"" + label->text().left(30).toStdString() + "\"";
    if (label->wordWrap()) {
      EXPECT_GE(label->height(), label->heightForWidth(label->width())) << name;
    } else {
      EXPECT_GE(label->width(), label->minimumSizeHint().width()) << name;
    }
  }
  for (QAbstractButton* button : view->findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(view)) continue;
    EXPECT_GE(button->width(), button->minimumSizeHint().width()) << button->text().toStdString();
  }
  view->close();
}

TEST_P(ScreenWindowTest, EscapeAndCtrlWCloseItAndItHasTheProgramsIcon) {
  ASSERT_FALSE(window->windowIcon().isNull());
  for (const QKeyCombination keys :
       {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
    OpenIt();
    QWidget* view = View();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view) || view->isVisible());
    EXPECT_EQ(view->windowIcon().cacheKey(), window->windowIcon().cacheKey());
    QTest::keyClick(view, keys.key(), keys.keyboardModifiers());
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(GetParam().modelVisible(*this));
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, ScreenWindowTest, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowCase>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
}  // namespace tarnwick::testing
