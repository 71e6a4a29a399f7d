// The Processes window: a thin Qt view of ProcessesWindowModel. The top processes by CPU and by
// memory side by side, each sortable by a click on a column heading, the marked process in bold
// on a tinted row, and under each list which process is marked and why. Read-only. Every
// widget's objectName is its control's name in the model; process and user names are plain text.
#pragma once

#include <QWidget>
#include <array>

#include "processes/processes_window_model.h"
#include "screen_placement.h"

class QAction;
class QLabel;
class QTableWidget;

namespace tarnwick {

class MainWindow;

class ProcessesWindow : public QWidget {
  Q_OBJECT

 public:
  // The model must outlive the view.
  explicit ProcessesWindow(ProcessesWindowModel& model, QWidget* parent = nullptr);
  ~ProcessesWindow() override;
  // Where the window was left is kept in `places` (which outlives the view) from now on.
  void UsePlaces(WindowPlaces& places) { placement_.Use(&places); }

  // Brings every widget in line with the model, and shows or hides the window as it says.
  void Render();

  QTableWidget* grid(size_t table) const { return grids_[table]; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ScreenPlacement placement_{QSize(1120, 520), kProcessesPlaceName};
  void RenderTable(size_t index);

  ProcessesWindowModel& model_;
  QLabel* lblNote_ = nullptr;
  std::array<QLabel*, 2> captions_{};
  std::array<QTableWidget*, 2> grids_{};
  std::array<QLabel*, 2> marked_{};
};

// Adds Log > Processes to the main window; it opens `view` over its model.
QAction* AddProcessesMenu(MainWindow& window, ProcessesWindowModel& model, ProcessesWindow& view);

}  // namespace tarnwick
