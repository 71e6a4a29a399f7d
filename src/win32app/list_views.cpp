#include "list_views.h"

#include <commctrl.h>

#include <algorithm>

#include "widgets.h"

namespace tarnwick::win32 {
namespace {

// Room around a cell's text, as the list view draws it.
constexpr int kCellPadding = 16;

HWND Header(HWND list) {
  return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
}

int Columns(HWND list) {
  return static_cast<int>(SendMessageW(Header(list), HDM_GETITEMCOUNT, 0, 0));
}

}  // namespace

HWND ReportList(HWND parent, int id, const std::vector<std::string_view>& headings, bool ownerData,
                const std::vector<int>& rightAligned) {
  DWORD style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
  if (ownerData) style |= LVS_OWNERDATA;
  HWND list = Child(parent, WC_LISTVIEWW, "", style, id, WS_EX_CLIENTEDGE);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_GRIDLINES | LVS_EX_INFOTIP |
                   LVS_EX_LABELTIP);
  for (size_t i = 0; i < headings.size(); ++i) {
    const std::wstring heading = W(headings[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = std::find(rightAligned.begin(), rightAligned.end(), static_cast<int>(i)) !=
                         rightAligned.end()
                     ? LVCFMT_RIGHT
                     : LVCFMT_LEFT;
    column.cx = 100;
    column.pszText = const_cast<wchar_t*>(heading.c_str());
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  return list;
}

void SetSortArrow(HWND list, int column, bool descending) {
  HWND header = Header(list);
  const int columns = Columns(list);
  for (int c = 0; c < columns; ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    int format = item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN);
    if (c == column) format |= descending ? HDF_SORTDOWN : HDF_SORTUP;
    if (format == item.fmt) continue;
    item.fmt = format;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
  }
}

void SetRows(HWND list, const Rows& rows, Rows& shown) {
  if (rows == shown) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  while (shown.size() > rows.size()) {
    shown.pop_back();
    SendMessageW(list, LVM_DELETEITEM, shown.size(), 0);
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    const bool fresh = r >= shown.size();
    if (fresh) shown.emplace_back();
    std::vector<std::string>& cells = shown[r];
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const bool inserting = fresh && c == 0;
      if (!inserting && c < cells.size() && cells[c] == rows[r][c]) continue;
      const std::wstring text = W(rows[r][c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = static_cast<int>(c);
      item.pszText = const_cast<wchar_t*>(text.c_str());
      SendMessageW(list, inserting ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r,
                   reinterpret_cast<LPARAM>(&item));
    }
    cells = rows[r];
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void FitColumns(HWND list, size_t rows, const std::function<std::string(size_t, size_t)>& cell,
                int widest) {
  const int columns = Columns(list);
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  auto width = [dc](const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  HWND header = Header(list);
  for (int c = 0; c < columns; ++c) {
    wchar_t heading[128] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = heading;
    item.cchTextMax = static_cast<int>(std::size(heading));
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
    // The heading leaves room for its sort arrow.
    int wanted = width(heading) + 2 * kCellPadding;
    for (size_t r = 0; r < rows && wanted < widest; ++r) {
      wanted = std::max(wanted, width(W(cell(r, static_cast<size_t>(c)))) + kCellPadding);
    }
    const int now = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
    const int target = std::min(wanted, widest);
    if (now != target) SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), target);
  }
  SelectObject(dc, old);
  ReleaseDC(list, dc);
}

void CopyText(const std::wstring& text, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::copy_n(text.c_str(), n, buffer);
  buffer[n] = L'\0';
}

int SelectedRow(HWND list) {
  return static_cast<int>(
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(
              SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0) {
    rows.push_back(row);
  }
  return rows;
}

void SelectRow(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  if (row < 0) return;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

}  // namespace tarnwick::win32
