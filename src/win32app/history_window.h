// The History window: a thin Win32 view of HistoryWindowModel. The CPU and memory graphs drawn
// with GDI (the span's values, the thresholds dashed, the alerts as red markers whose text shows
// under the pointer), the text under the pointer, the span's top processes and the samples of the
// one double-clicked. Every control's ID is named after its model control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "widgets.h"

namespace tarnwick {
class HistoryWindowModel;
}

namespace tarnwick::win32 {

inline constexpr wchar_t kHistoryWindowClass[] = L"TarnwickHistory";

class HistoryWindow {
 public:
  // The model must outlive the view.
  explicit HistoryWindow(HistoryWindowModel& model);
  ~HistoryWindow();
  HistoryWindow(const HistoryWindow&) = delete;
  HistoryWindow& operator=(const HistoryWindow&) = delete;

  HWND hwnd() const { return window_; }
  // Brings every control in line with the model, and shows or hides the window as it says.
  void Render();
  // Log > History: the model opens its span, the window shows it.
  void Open();

  // The history time under a point of the graph area; the inverse of what the graphs draw.
  int64_t TimeAt(int x) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK GraphProc(HWND graph, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void LayOut();
  void PaintGraphs(HDC dc, const RECT& area);
  void PaintGraph(HDC dc, const RECT& plot, bool cpu);
  void OnGraphMouse(int x, int y);
  void RenderTables();
  // The plot rectangles of the two graphs in the graph area.
  RECT Plot(bool cpu) const;

  HistoryWindowModel& model_;
  HWND window_ = nullptr;
  HWND graph_ = nullptr;
  HWND tip_ = nullptr;
  std::unique_ptr<Metrics> metrics_;
  bool rendering_ = false;
};

}  // namespace tarnwick::win32
