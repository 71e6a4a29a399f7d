// The Processes window: a thin Win32 view of ProcessesWindowModel. The top processes by CPU and
// by memory side by side, each sortable by a click on a column heading, the process the kill rule
// would pick in bold on a tinted row, and under each list which process is marked and why.
// Read-only. Every control's ID is named after its model control; names are plain text.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <memory>

#include "list_views.h"
#include "monitor_placement.h"
#include "widgets.h"

namespace tarnwick {
class ProcessesWindowModel;
}

namespace tarnwick::win32 {

inline constexpr wchar_t kProcessesWindowClass[] = L"TarnwickProcesses";

class ProcessesWindow {
 public:
  // The model must outlive the view.
  explicit ProcessesWindow(ProcessesWindowModel& model);
  ~ProcessesWindow();
  ProcessesWindow(const ProcessesWindow&) = delete;
  ProcessesWindow& operator=(const ProcessesWindow&) = delete;
  // Where the window was left is kept in `places` (which outlives the view) from now on.
  void UsePlaces(WindowPlaces& places) { placement_.Use(&places); }

  HWND hwnd() const { return window_; }
  // Escape and Ctrl+W close the window; the message loop offers it every message first.
  bool KeyMessage(const MSG& message) const { return CloseOnKey(window_, message); }
  // Brings every control in line with the model, and shows or hides the window as it says.
  void Render();
  // Log > Processes: the model reads the latest scan, the window shows it.
  void Open();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnNotify(const NMHDR& header, LRESULT& result);
  void LayOut();
  void RenderTable(size_t index);
  // The table a list shows; -1 for another control.
  int TableOf(int control) const;

  ProcessesWindowModel& model_;
  HWND window_ = nullptr;
  std::unique_ptr<Metrics> metrics_;
  MonitorPlacement placement_{kProcessesPlaceName};
  std::array<Rows, 2> shown_;
};

}  // namespace tarnwick::win32
