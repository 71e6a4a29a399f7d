// The History window: a thin Win32 view of HistoryWindowModel. The span buttons, Back and the
// exports above the CPU and memory graphs drawn with GDI (the values, the thresholds dashed,
// each watch's alerts as markers on its own graph whose text shows under the pointer, the
// selected event as a line); a fixed text area for what lies under the pointer; below, on two
// pages, the events list (sortable by its headings, filtered by kind, its selection marking the
// graphs) and the top processes with the samples of the one double-clicked. A drag over the
// graphs zooms. Every control's ID is named after its model control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "domain/history_types.h"
#include "list_views.h"
#include "monitor_placement.h"
#include "widgets.h"

namespace tarnwick {
class HistoryWindowModel;
struct GraphMarker;
}  // namespace tarnwick

namespace tarnwick::win32 {

inline constexpr wchar_t kHistoryWindowClass[] = L"TarnwickHistory";
// The window's refresh timer, running the model's tmrRefresh.
inline constexpr UINT_PTR kRefreshTimer = 1;

class HistoryWindow {
 public:
  // The model must outlive the view.
  explicit HistoryWindow(HistoryWindowModel& model);
  ~HistoryWindow();
  HistoryWindow(const HistoryWindow&) = delete;
  HistoryWindow& operator=(const HistoryWindow&) = delete;
  // Where the window was left is kept in `places` (which outlives the view) from now on.
  void UsePlaces(WindowPlaces& places) { placement_.Use(&places); }

  HWND hwnd() const { return window_; }
  // The time labels under the graphs as last drawn, oldest first.
  const std::vector<std::string>& TimeLabels() const { return timeLabels_; }
  // Escape and Ctrl+W close the window; the message loop offers it every message first.
  bool KeyMessage(const MSG& message) const { return CloseOnKey(window_, message); }
  // Brings every control in line with the model, and shows or hides the window as it says.
  void Render();
  // Log > History: the model opens its span, the window shows it.
  void Open();
  // Opens the window on the latest event of `kind` at `t` (history seconds), selected.
  void OpenOn(int64_t t, HistoryEventKind kind);

  // The history time under x of the graph area, and the point of the graph area where a graph
  // draws a value at a time: what the graphs draw, and its inverse.
  int64_t TimeAt(int x) const;
  POINT PointOf(bool cpu, int64_t t, int value) const;
  // The marker whose tooltip shows with the pointer at (x, y) of the graph area; null for none.
  const GraphMarker* MarkerAt(int x, int y) const;
  // The graphs as they are drawn now, as PNG data into `out`; false when they could not be.
  bool EncodePicture(std::ostream& out);

 private:
  struct Drag {
    bool on = false;
    bool cpu = true;
    int startX = 0;
    int nowX = 0;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK GraphProc(HWND graph, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnNotify(const NMHDR& header, LRESULT& result);
  void OnCommand(int id, int code);
  void Forward(void (HistoryWindowModel::*handler)());
  void CreateControls();
  void LayOut();
  void ShowPage();
  void RenderEvents();
  void RenderTables();
  void RenderTimer();
  void SetHover(const std::string& text);
  void DrawHover(const DRAWITEMSTRUCT& item);
  void OnSelectionSettled();

  // history_graphs.cpp: drawing the graphs and the pointer over them.
  RECT Plot(bool cpu) const;
  void PaintGraphs(HDC dc, const RECT& area);
  void PaintGraph(HDC dc, bool cpu);
  void OnGraphMouse(UINT message, int x, int y);
  void ShowMarkerTip(int x, int y);

  HistoryWindowModel& model_;
  HWND window_ = nullptr;
  HWND graph_ = nullptr;
  HWND markerTip_ = nullptr;
  HWND hoverTip_ = nullptr;
  std::unique_ptr<Metrics> metrics_;
  MonitorPlacement placement_{kHistoryPlaceName};
  Rows shownTop_;
  Rows shownSamples_;
  int page_ = 0;
  Drag drag_;
  std::vector<std::string> timeLabels_;
  bool rendering_ = false;
  bool selectionPosted_ = false;
  bool tracking_ = false;
  bool timerRunning_ = false;
  int timerInterval_ = 0;
};

}  // namespace tarnwick::win32
