// The History window's view over its model on a real store: Log > History opens it, each graph
// draws its own watch's alerts, the events list and the controls reach the model, the window
// keeps its size whatever the pointer's text says, a drag zooms and a refresh keeps the zoom.
#include <gtest/gtest.h>

#include <QAction>
#include <QCategoryAxis>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

#include "domain/history_time.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "qt_test_app.h"
#include "unit/model_fixture.h"
#include "widget_driver.h"

namespace tarnwick::testing {
namespace {

// A process name a hostile program could give itself: very long, and markup.
const std::string kLongName = "<b>x</b>" + std::string(400, 'w');

class HistoryWindowViewTest : public ModelFixture {
 protected:
  std::unique_ptr<SqliteHistoryStore> store;
  std::unique_ptr<HistoryWindowModel> history;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<HistoryWindow> view;
  int64_t now = 0;

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    model->OnLoad();
    engine->settings.cpu_High = "80";
    engine->settings.mem_High = "90";
    store = std::make_unique<SqliteHistoryStore>(dir / "Tarnwick_history.sqlite");
    now = ToHistorySeconds(clock.now);
    HistoryBatch b;
    for (int64_t t = now - 3000; t < now; t += 10) b.samples.push_back({t, 30, 60, 6000});
    b.tops.push_back({now - 1200, TopKind::Cpu, 1, "hog", 55, 90});
    for (int64_t t = now - 3000; t < now; t += 60) {
      b.tops.push_back({t, TopKind::Cpu, 1, kLongName, 56, 12});
    }
    HistoryEvent alert{now - 1190, HistoryEventKind::AlertRaised, "CPU 95% exceed 80%"};
    alert.watch = HistoryWatch::Cpu;
    alert.value = 95;
    alert.top = kLongName;
    alert.sent = SendState::Sent;
    b.events.push_back(alert);
    ASSERT_TRUE(store->Append(b).ok);
    history = std::make_unique<HistoryWindowModel>(
        clock, engine->settings, store.get(), nullptr,
        HistoryExport{&ui, &CreateOwnerOnlyFile, dir / "exports"});
    window = std::make_unique<MainWindow>(*model);
    view = std::make_unique<HistoryWindow>(*history);
    AddHistoryMenu(*window, *history, *view);
  }

  void OpenFromMenu() {
    auto* action = window->form().logMenu->findChild<QAction*>("mHistory");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "&History");
    action->trigger();
  }

  template <typename T>
  T* Widget(const char* name) {
    return FindWidget<T>(view.get(), name);
  }

  static QXYSeries* Series(QChartView* chart, const char* name) {
    for (QAbstractSeries* series : chart->chart()->series()) {
      if (series->objectName() == QLatin1String(name)) return qobject_cast<QXYSeries*>(series);
    }
    return nullptr;
  }

  // The viewport position of the graph's plot at `fraction` of its width, half-way up.
  static QPoint PlotPoint(QChartView* chart, double fraction) {
    const QRectF plot = chart->chart()->plotArea();
    const QPointF scene(plot.left() + fraction * plot.width(), plot.center().y());
    return chart->mapFromScene(chart->chart()->mapToScene(scene));
  }
};

TEST_F(HistoryWindowViewTest, MenuOpensTheWindowWithEachWatchsAlertsOnItsOwnGraph) {
  OpenFromMenu();
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "Usage history");
  EXPECT_TRUE(Widget<QPushButton>("cmdSpan0")->isChecked()) << "a young history: the last hour";
  Widget<QPushButton>("cmdSpan1")->click();
  EXPECT_EQ(history->spanIndex, 1) << "the span buttons reach the model";
  EXPECT_TRUE(Widget<QPushButton>("cmdSpan1")->isChecked());

  auto* cpuValues = qobject_cast<QLineSeries*>(view->cpuChart()->chart()->series()[0]);
  ASSERT_NE(cpuValues, nullptr);
  EXPECT_EQ(cpuValues->count(), static_cast<int>(history->points.size()));
  QXYSeries* alerts = Series(view->cpuChart(), "alerts");
  ASSERT_NE(alerts, nullptr);
  EXPECT_EQ(alerts->count(), 1);
  EXPECT_EQ(Series(view->memChart(), "alerts"), nullptr) << "a CPU alert is not a memory one";

  ASSERT_EQ(view->grdEvents()->rowCount(), 1);
  EXPECT_EQ(view->grdEvents()->item(0, static_cast<int>(EventColumn::Top))->text(),
            QString::fromStdString(kLongName))
      << "shown as it is, not as markup";
  Widget<QComboBox>("cboEventFilter")->setCurrentIndex(3);
  EXPECT_EQ(history->eventFilterIndex, 3);
  EXPECT_EQ(view->grdEvents()->rowCount(), 0);
  view->grdEvents()->horizontalHeader()->sectionClicked(static_cast<int>(EventColumn::Kind));
  EXPECT_EQ(history->eventSortColumn, EventColumn::Kind) << "a heading click sorts in the model";
}

TEST_F(HistoryWindowViewTest, SelectingAnEventDrawsItOnTheGraphs) {
  OpenFromMenu();
  view->grdEvents()->selectRow(0);
  EXPECT_EQ(history->selectedTime, now - 1190);
  for (QChartView* chart : {view->cpuChart(), view->memChart()}) {
    QXYSeries* line = Series(chart, "selection");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(HistoryWindow::HistorySecondsAt(static_cast<qint64>(line->at(0).x())), now - 1190);
  }
  ASSERT_NE(Series(view->cpuChart(), "selected"), nullptr);
  EXPECT_EQ(Series(view->memChart(), "selected"), nullptr);
  EXPECT_EQ(Widget<QLabel>("lblHover")->textFormat(), Qt::PlainText);
}

// The tray's note of an alert, clicked: the window opens with that alert selected.
TEST_F(HistoryWindowViewTest, ANotesClickOpensTheWindowOnItsEvent) {
  emit window->notificationClicked(now - 1190, static_cast<int>(HistoryEventKind::AlertRaised));
  EXPECT_TRUE(view->isVisible());
  ASSERT_GE(history->selectedEventRow, 0);
  EXPECT_EQ(history->eventRows[static_cast<size_t>(history->selectedEventRow)].t, now - 1190);
  const QList<QTableWidgetItem*> chosen = view->grdEvents()->selectedItems();
  ASSERT_FALSE(chosen.isEmpty());
  EXPECT_EQ(chosen.front()->row(), history->selectedEventRow);
}

// The graphs' picture is written like the CSV: a PNG file readable by its owner only.
TEST_F(HistoryWindowViewTest, ThePictureIsAnOwnerOnlyPng) {
  OpenFromMenu();
  const std::string path = dir / "graphs.png";
  ui.saveResult = path;
  Widget<QPushButton>("cmdSavePicture")->click();
  EXPECT_EQ(history->lblNote, "Written to " + path);
  EXPECT_TRUE(ReadFile(path).starts_with("\x89PNG"));
  const auto perms = std::filesystem::status(path).permissions();
  EXPECT_EQ(perms & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// The once-a-minute refresh brings newer events in above the others; the row under the pointer
// stays under it, so a click lands on the event aimed at.
TEST_F(HistoryWindowViewTest, RefreshKeepsTheRowUnderThePointer) {
  const auto note = [](int64_t t) {
    return HistoryEvent{t, HistoryEventKind::MonitoringStarted, "Monitoring Started"};
  };
  HistoryBatch older;
  for (int i = 0; i < 60; ++i) older.events.push_back(note(now - 2400 + i * 30));
  ASSERT_TRUE(store->Append(older).ok);
  OpenFromMenu();
  QTableWidget* list = view->grdEvents();
  list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
  const QPoint at(20, list->viewport()->height() / 2);
  QCursor::setPos(list->viewport()->mapToGlobal(at));
  const int row = list->rowAt(at.y());
  ASSERT_GE(row, 0);
  const int64_t aimedAt = history->eventRows[static_cast<size_t>(row)].id;

  HistoryBatch newer;
  for (int i = 0; i < 5; ++i) newer.events.push_back(note(now + 5 + i));
  ASSERT_TRUE(store->Append(newer).ok);
  clock.Advance(60);
  history->tmrRefresh.intervalMs = 20;
  view->Render();
  const size_t before = history->eventRows.size();
  ASSERT_TRUE(QTest::qWaitFor([&] { return history->eventRows.size() == before + 5; }, 2000));

  const int under = list->rowAt(at.y());
  ASSERT_GE(under, 0);
  EXPECT_EQ(history->eventRows[static_cast<size_t>(under)].id, aimedAt);
  EXPECT_EQ(under, row + 5) << "the newer rows came in above it";
}

// A marker's tooltip stays while the pointer rests on the marker.
TEST_F(HistoryWindowViewTest, AMarkersTipStaysWhileThePointerRests) {
  OpenFromMenu();
  // A window that becomes active closes any tip; this one is, before the pointer comes.
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  QXYSeries* alerts = Series(view->cpuChart(), "alerts");
  ASSERT_NE(alerts, nullptr);
  ASSERT_EQ(alerts->count(), 1);
  const QPointF marker = alerts->at(0);
  const QPointF onScreen = view->cpuChart()->mapFromScene(
      view->cpuChart()->chart()->mapToScene(view->cpuChart()->chart()->mapToPosition(marker)));
  QCursor::setPos(view->cpuChart()->viewport()->mapToGlobal(onScreen.toPoint()));
  emit alerts->hovered(marker, true);
  ASSERT_TRUE(QToolTip::isVisible());
  EXPECT_TRUE(QToolTip::text().contains("alert, CPU 95%"));
  // The tip's own window under the pointer ends the series' hover; the tip stays.
  emit alerts->hovered(marker, false);
  QTest::qWait(1500);
  EXPECT_TRUE(QToolTip::isVisible());
  QToolTip::hideText();
}

TEST_F(HistoryWindowViewTest, HoveringLongTextsNeverChangesTheWindowsSize) {
  OpenFromMenu();
  view->resize(900, 800);
  QTest::qWait(50);
  const QSize before = view->size();
  for (const double fraction : {0.1, 0.4, 0.6, 0.9}) {
    QTest::mouseMove(view->cpuChart()->viewport(), PlotPoint(view->cpuChart(), fraction));
    QApplication::processEvents();
  }
  ASSERT_NE(history->lblHover.find(kLongName), std::string::npos) << "the long name is shown";
  EXPECT_EQ(view->size(), before);
  EXPECT_LE(view->minimumSizeHint().width(), before.width());
  auto* hover = FindWidget<FixedTextLabel>(view.get(), "lblHover");
  EXPECT_LE(hover->width(), before.width());
  EXPECT_TRUE(hover->text().endsWith(QChar(0x2026))) << "cut with an ellipsis";
  EXPECT_EQ(hover->FullText(), QString::fromStdString(history->lblHover));
}

TEST_F(HistoryWindowViewTest, DragZoomsAndTheRefreshKeepsTheZoom) {
  OpenFromMenu();
  QWidget* plot = view->cpuChart()->viewport();
  QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, PlotPoint(view->cpuChart(), 0.25));
  QTest::mouseMove(plot, PlotPoint(view->cpuChart(), 0.5));
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, PlotPoint(view->cpuChart(), 0.75));
  ASSERT_TRUE(history->Zoomed());
  EXPECT_NEAR(static_cast<double>(history->viewTo - history->viewFrom), 1800, 60)
      << "half of the hour";
  EXPECT_TRUE(Widget<QPushButton>("cmdZoomBack")->isEnabled());
  const int64_t zoomFrom = history->viewFrom;
  auto* axis = qobject_cast<QCategoryAxis*>(view->cpuChart()->chart()->axes(Qt::Horizontal)[0]);
  ASSERT_NE(axis, nullptr);
  const qreal shownFrom = axis->min();
  // The time axis shows the model's round ticks, each label once.
  QStringList labels;
  for (const TimeTick& tick : history->timeTicks) labels << QString::fromStdString(tick.label);
  EXPECT_EQ(axis->categoriesLabels(), labels);
  EXPECT_GE(labels.size(), 3);

  // A minute later the window refreshes by itself: the span moves on, the zoom stays.
  clock.Advance(60);
  history->tmrRefresh.intervalMs = 20;
  view->Render();
  const int64_t spanEnd = history->to;
  EXPECT_TRUE(QTest::qWaitFor([&] { return history->to != spanEnd; }, 2000));
  EXPECT_EQ(history->viewFrom, zoomFrom);
  axis = qobject_cast<QCategoryAxis*>(view->cpuChart()->chart()->axes(Qt::Horizontal)[0]);
  ASSERT_NE(axis, nullptr);
  EXPECT_EQ(axis->min(), shownFrom);

  Widget<QPushButton>("cmdZoomBack")->click();
  EXPECT_FALSE(history->Zoomed());
  view->close();
  EXPECT_FALSE(history->visible);
  EXPECT_FALSE(view->findChild<QTimer*>("tmrRefresh")->isActive()) << "no refresh while closed";
}

TEST_F(HistoryWindowViewTest, DoubleClickShowsSamplesAndCloseReachesTheModel) {
  OpenFromMenu();
  ASSERT_EQ(view->grdTop()->rowCount(), 2);
  ASSERT_EQ(view->grdTop()->item(1, 0)->text(), "hog");
  emit view->grdTop()->cellDoubleClicked(1, 0);
  EXPECT_EQ(Widget<QLabel>("lblSamples")->text(), "Samples of hog");
  EXPECT_EQ(Widget<QTableWidget>("grdSamples")->rowCount(), 1);
  view->close();
  EXPECT_FALSE(history->visible);
}

TEST_F(HistoryWindowViewTest, AxisTimesRoundTripThroughLocalTime) {
  for (const int64_t t :
       {ToHistorySeconds({2026, 12, 4, 3, 0, 0}), ToHistorySeconds({2026, 6, 30, 23, 59, 59})}) {
    EXPECT_EQ(HistoryWindow::HistorySecondsAt(HistoryWindow::AxisMs(t)), t);
  }
}

}  // namespace
}  // namespace tarnwick::testing
