// The History window: a thin Qt Charts view of HistoryWindowModel. The span buttons, zoom back
// and the exports above two graphs (CPU %, memory %) with the threshold lines, each watch's
// alerts as markers with their tooltips and the selected event as a line; a fixed-size text
// under the pointer; the events list and the top processes below. A drag over a graph zooms.
// Every widget's objectName is its control's name in the model. Text from outside (process
// names, messages) is shown as plain text everywhere.
#pragma once

#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <ostream>
#include <vector>

#include "history/history_window_model.h"
#include "screen_placement.h"

class QAbstractButton;
class QAction;
class QChartView;
class QComboBox;
class QPushButton;
class QRubberBand;
class QScatterSeries;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace tarnwick {

class MainWindow;

// A label of fixed lines that never asks for more width than it is given: lines too long for it
// end in "…", and the whole text is its tooltip. Its size never follows its text, so a window
// holding it keeps its geometry whatever it shows.
class FixedTextLabel : public QLabel {
 public:
  FixedTextLabel(int lines, QWidget* parent = nullptr);
  void SetFullText(const QString& text);
  const QString& FullText() const { return full_; }
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();
  int lines_;
  QString full_;
};

class HistoryWindow : public QWidget {
  Q_OBJECT

 public:
  // The model must outlive the view.
  explicit HistoryWindow(HistoryWindowModel& model, QWidget* parent = nullptr);
  ~HistoryWindow() override;
  // Where the window was left is kept in `places` (which outlives the view) from now on.
  void UsePlaces(WindowPlaces& places) { placement_.Use(&places); }

  // Brings every widget in line with the model, and shows or hides the window as it says.
  void Render();

  QChartView* cpuChart() const { return cpuChart_; }
  QChartView* memChart() const { return memChart_; }
  QTableWidget* grdTop() const { return grdTop_; }
  QTableWidget* grdEvents() const { return grdEvents_; }
  QTabWidget* tabs() const { return tabs_; }

  // History seconds to the axis's milliseconds and back (the graphs' axis is local time).
  static qint64 AxisMs(int64_t historySeconds);
  static int64_t HistorySecondsAt(qint64 axisMs);
  // The time under a viewport position of a graph.
  static int64_t TimeAt(QChartView& view, QPoint viewportPosition);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ScreenPlacement placement_{QSize(1000, 860), kHistoryPlaceName};
  QChartView* MakeChart(const char* name);
  void RenderChart(QChartView& view, bool cpu);
  void RenderEvents();
  void RenderTables();
  void ShowMarkerTip(bool cpu, const QPointF& point);
  bool EncodePicture(std::ostream& out);
  void RefreshKeepingTheRowUnderThePointer();

  HistoryWindowModel& model_;
  std::vector<QAbstractButton*> spanButtons_;
  QPushButton* cmdZoomBack_ = nullptr;
  QPushButton* cmdExportCsv_ = nullptr;
  QPushButton* cmdSavePicture_ = nullptr;
  FixedTextLabel* lblNote_ = nullptr;
  QWidget* graphs_ = nullptr;
  QChartView* cpuChart_ = nullptr;
  QChartView* memChart_ = nullptr;
  FixedTextLabel* lblHover_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QComboBox* cboEventFilter_ = nullptr;
  QTableWidget* grdEvents_ = nullptr;
  QTableWidget* grdTop_ = nullptr;
  QLabel* lblSamples_ = nullptr;
  QTableWidget* grdSamples_ = nullptr;
  QTimer* tmrRefresh_ = nullptr;
  QRubberBand* band_ = nullptr;
  QChartView* dragView_ = nullptr;
  QPoint dragStart_;
  bool rendering_ = false;
};

// Adds Log > History to the main window; it opens `view` over its model, as does a click on the
// tray's note of an event, on that event.
QAction* AddHistoryMenu(MainWindow& window, HistoryWindowModel& model, HistoryWindow& view);

}  // namespace tarnwick
