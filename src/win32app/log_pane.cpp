#include "log_pane.h"

#include <algorithm>
#include <vector>

#include "control_ids.h"
#include "engine/activity_log.h"
#include "list_views.h"
#include "widgets.h"

namespace tarnwick::win32 {
namespace {

constexpr char kCopyCaption[] = "&Copy\tCtrl+C";
constexpr char kSelectAllCaption[] = "Select &All\tCtrl+A";

// A log line as copied: its line breaks kept as CR LF, none at the end; the log's blank
// separator line (CR LF) is empty.
std::wstring CopyText(const std::string& line) {
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return W(text);
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

LogPane::LogPane(HWND parent, int id, size_t lineLimit) : lineLimit_(lineLimit) {
  list_ = Child(
      parent, WC_LISTVIEWW, "",
      WS_TABSTOP | WS_VSCROLL | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
      id, WS_EX_CLIENTEDGE);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 100;
  SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void LogPane::Fit() {
  RECT client{};
  GetClientRect(list_, &client);
  const LRESULT width = client.right - client.left;
  if (SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0) != width) {
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, width);
  }
}

const std::string* LogPane::LineAt(size_t row) const {
  if (log_ == nullptr || row >= rows_) return nullptr;
  const auto& lines = log_->PaneLines();
  // Lines written since the last Follow stand above the rows the view knows.
  const size_t at = row + (log_->LinesWritten() - seenWritten_);
  return at < lines.size() ? &lines[at] : nullptr;
}

std::wstring LogPane::RowText(size_t row) const {
  const std::string* line = LineAt(row);
  if (line == nullptr) return {};
  std::wstring text = CopyText(*line);
  std::replace(text.begin(), text.end(), L'\r', L' ');
  std::replace(text.begin(), text.end(), L'\n', L' ');
  return text;
}

void LogPane::Follow(const ActivityLog& log) {
  log_ = &log;
  const size_t written = log.LinesWritten();
  const size_t available = std::min(log.PaneLines().size(), lineLimit_);
  const size_t fresh = std::min(written - seenWritten_, available);
  const size_t rows = std::min(rows_ + fresh, available);
  if (fresh == 0 && rows == rows_) {
    seenWritten_ = written;
    return;
  }
  const int top = static_cast<int>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0));
  // The selection and the focus move down with their lines; those that leave at the bottom go.
  const std::vector<int> selected = SelectedRows(list_);
  const int focused =
      static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (fresh > 0 && !selected.empty()) SetRowState(list_, -1, 0, LVIS_SELECTED);
  seenWritten_ = written;
  rows_ = rows;
  SendMessageW(list_, LVM_SETITEMCOUNT, rows_, LVSICF_NOSCROLL);
  // The vertical scroll bar comes with the rows that no longer fit and takes its width from the
  // client area: the column follows, so that long lines keep ending in "..." rather than under a
  // horizontal scroll bar.
  Fit();
  if (fresh > 0) {
    for (int row : selected) {
      const size_t moved = static_cast<size_t>(row) + fresh;
      if (moved < rows_) SetRowState(list_, static_cast<int>(moved), LVIS_SELECTED, LVIS_SELECTED);
    }
    if (focused >= 0 && static_cast<size_t>(focused) + fresh < rows_) {
      SetRowState(list_, static_cast<int>(static_cast<size_t>(focused) + fresh), LVIS_FOCUSED,
                  LVIS_FOCUSED);
    }
    // A reader scrolled down keeps the same lines in view; at the top the newest line shows.
    if (top > 0) {
      RECT first{};
      first.left = LVIR_BOUNDS;
      if (SendMessageW(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first))) {
        const int rowHeight = first.bottom - first.top;
        SendMessageW(list_, LVM_SCROLL, 0,
                     static_cast<LPARAM>(rowHeight * static_cast<int>(fresh)));
      }
    }
  }
  InvalidateRect(list_, nullptr, FALSE);
}

std::wstring LogPane::SelectedText() const {
  std::wstring text;
  for (int row : SelectedRows(list_)) {
    const std::string* line = LineAt(static_cast<size_t>(row));
    if (line == nullptr) continue;
    text += CopyText(*line);
    text += L"\r\n";
  }
  return text;
}

void LogPane::Copy() const {
  const std::wstring text = SelectedText();
  if (text.empty() || !OpenClipboard(GetParent(list_))) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* data = GlobalLock(memory)) {
      CopyMemory(data, text.c_str(), bytes);
      GlobalUnlock(memory);
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

void LogPane::SelectAll() {
  SetRowState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
}

bool LogPane::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != list_) return false;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
      if ((info.item.mask & LVIF_TEXT) != 0 && info.item.pszText != nullptr &&
          info.item.cchTextMax > 0) {
        shown_ = RowText(static_cast<size_t>(info.item.iItem));
        const size_t n = std::min(shown_.size(), static_cast<size_t>(info.item.cchTextMax - 1));
        std::copy_n(shown_.c_str(), n, info.item.pszText);
        info.item.pszText[n] = L'\0';
      }
      result = 0;
      return true;
    }
    case LVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
      const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
      if (control && key.wVKey == 'C') Copy();
      if (control && key.wVKey == 'A') SelectAll();
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

void LogPane::OnContextMenu(int screenX, int screenY) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, id::mCopy, W(kCopyCaption).c_str());
  AppendMenuW(menu, MF_STRING, id::mSelectAll, W(kSelectAllCaption).c_str());
  if (screenX == -1 && screenY == -1) {
    // From the keyboard: under the pane's top left corner.
    RECT rect{};
    GetWindowRect(list_, &rect);
    screenX = rect.left;
    screenY = rect.top;
  }
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, screenX, screenY, 0, GetParent(list_), nullptr);
  DestroyMenu(menu);
}

bool LogPane::OnCommand(int id) {
  if (id == id::mCopy) {
    Copy();
    return true;
  }
  if (id == id::mSelectAll) {
    SelectAll();
    return true;
  }
  return false;
}

}  // namespace tarnwick::win32
