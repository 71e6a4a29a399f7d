// The History window's view over its model on a real store: Log > History opens it, the graphs
// draw the model's points, threshold and alerts, and the tables and events reach the model.
#include <gtest/gtest.h>

#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTest>

#include "history/history_time.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "qt_test_app.h"
#include "unit/model_fixture.h"
#include "widget_driver.h"

namespace tarnwick::testing {
namespace {

class HistoryWindowViewTest : public ModelFixture {
 protected:
  std::unique_ptr<SqliteHistoryStore> store;
  std::unique_ptr<HistoryWindowModel> history;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<HistoryWindow> view;

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    model->OnLoad();
    model->settings.cpu_High = "80";
    model->settings.mem_High = "90";
    store = std::make_unique<SqliteHistoryStore>(dir / "Tarnwick_history.sqlite");
    const int64_t now = ToHistorySeconds(clock.now);
    HistoryBatch b;
    for (int64_t t = now - 3000; t < now; t += 10) b.samples.push_back({t, 30, 60, 6000});
    b.tops.push_back({now - 1200, TopKind::Cpu, 1, "hog", 55, 90});
    b.events.push_back({now - 1190, HistoryEventKind::AlertRaised, "CPU 95% exceed 80%", 0, false});
    ASSERT_TRUE(store->Append(b).ok);
    history = std::make_unique<HistoryWindowModel>(clock, model->settings, store.get(), nullptr);
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
};

TEST_F(HistoryWindowViewTest, MenuOpensTheWindowWithGraphsThresholdsAndMarkers) {
  OpenFromMenu();
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "Usage history");
  Widget<QComboBox>("cboSpan")->setCurrentIndex(0);
  EXPECT_EQ(history->spanIndex, 0) << "the span box reaches the model";
  for (QChartView* chart : {view->cpuChart(), view->memChart()}) {
    const auto series = chart->chart()->series();
    ASSERT_EQ(series.size(), 3u) << "values, threshold, alerts";
    auto* values = qobject_cast<QLineSeries*>(series[0]);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->count(), static_cast<int>(history->points.size()));
    auto* threshold = qobject_cast<QLineSeries*>(series[1]);
    EXPECT_EQ(threshold->at(0).y(), chart == view->cpuChart() ? 80 : 90);
    auto* markers = qobject_cast<QScatterSeries*>(series[2]);
    ASSERT_NE(markers, nullptr);
    EXPECT_EQ(markers->count(), 1);
  }
  EXPECT_EQ(view->grdTop()->rowCount(), 1);
  EXPECT_EQ(view->grdTop()->item(0, 0)->text(), "hog");
}

TEST_F(HistoryWindowViewTest, DoubleClickShowsSamplesAndCloseReachesTheModel) {
  OpenFromMenu();
  emit view->grdTop()->cellDoubleClicked(0, 0);
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
