// The activity log pane: a virtual list view (LVS_OWNERDATA) over the ActivityLog's own lines,
// newest first. The pane keeps no copy of the lines; it asks the log for the rows in view. Lines
// that arrive add rows on top: a reader at the top sees them come, a reader scrolled down keeps
// the lines in view and the selection where they are. Several rows can be selected (mouse,
// Ctrl+A) and copied (Ctrl+C, or the pane's own menu).
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstddef>
#include <string>

namespace tarnwick {
class ActivityLog;
}

namespace tarnwick::win32 {

class LogPane {
 public:
  // `lineLimit`: rows kept; older lines leave at the bottom.
  LogPane(HWND parent, int id, size_t lineLimit);

  HWND hwnd() const { return list_; }
  // Shows `log` (the first call binds the pane to it) with the lines written since the last
  // call on top.
  void Follow(const ActivityLog& log);
  size_t LinesShown() const { return rows_; }
  // The text of a row as shown: one line, line breaks as blanks.
  std::wstring RowText(size_t row) const;
  // The selected rows' lines, newest first, each ended by CR LF; what Copy puts on the clipboard.
  std::wstring SelectedText() const;
  void Copy() const;
  void SelectAll();
  // The column fills the pane's client area (without its vertical scroll bar).
  void Fit();

  // The parent passes on the pane's notifications and its context menu.
  bool OnNotify(const NMHDR& header, LRESULT& result);
  void OnContextMenu(int screenX, int screenY);
  // The pane's menu commands, as the parent receives them.
  bool OnCommand(int id);

 private:
  // The log line a row shows now: rows stay what they were until Follow moves them.
  const std::string* LineAt(size_t row) const;

  HWND list_;
  size_t lineLimit_;
  const ActivityLog* log_ = nullptr;
  size_t rows_ = 0;             // rows the list view knows
  size_t seenWritten_ = 0;      // ActivityLog::LinesWritten() at the last Follow
  mutable std::wstring shown_;  // the text handed out for the row being drawn
};

}  // namespace tarnwick::win32
