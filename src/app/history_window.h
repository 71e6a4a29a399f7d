// The History window: a thin Qt Charts view of HistoryWindowModel. Two graphs (CPU %, memory %)
// with the threshold lines and the alerts as markers, the text under the pointer, the span's top
// processes and the samples of the one double-clicked. Every widget's objectName is its
// control's name in the model.
#pragma once

#include <QWidget>
#include <cstdint>

#include "history/history_window_model.h"

class QAction;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QTableWidget;

namespace tarnwick {

class MainWindow;

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  // The model must outlive the view.
  explicit HistoryWindow(HistoryWindowModel& model, QWidget* parent = nullptr);

  // Brings every widget in line with the model, and shows or hides the window as it says.
  void Render();

  QChartView* cpuChart() const { return cpuChart_; }
  QChartView* memChart() const { return memChart_; }
  QTableWidget* grdTop() const { return grdTop_; }

  // History seconds to the axis's milliseconds and back (the graphs' axis is local time).
  static qint64 AxisMs(int64_t historySeconds);
  static int64_t HistorySecondsAt(qint64 axisMs);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QChartView* MakeChart(const char* name);
  void RenderChart(QChartView& view, bool cpu);
  void RenderTables();

  HistoryWindowModel& model_;
  QComboBox* cboSpan_ = nullptr;
  QChartView* cpuChart_ = nullptr;
  QChartView* memChart_ = nullptr;
  QLabel* lblNote_ = nullptr;
  QLabel* lblHover_ = nullptr;
  QTableWidget* grdTop_ = nullptr;
  QLabel* lblSamples_ = nullptr;
  QTableWidget* grdSamples_ = nullptr;
  bool rendering_ = false;
};

// Adds Log > History to the main window; it opens `view` over its model.
QAction* AddHistoryMenu(MainWindow& window, HistoryWindowModel& model, HistoryWindow& view);

}  // namespace tarnwick
