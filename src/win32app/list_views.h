// Report-mode list views as the Win32 windows use them: headings, the sort arrow in a heading,
// rows of text, and columns as wide as their texts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::win32 {

// A list of whole rows, one of them selectable. `ownerData`: the rows' texts come from
// LVN_GETDISPINFOW (a list of any length at no cost per row). `rightAligned` names the columns
// of numbers (column 0 cannot be right-aligned).
HWND ReportList(HWND parent, int id, const std::vector<std::string_view>& headings, bool ownerData,
                const std::vector<int>& rightAligned = {});
// The arrow in the heading of `column` (none in the others): down for a descending order.
void SetSortArrow(HWND list, int column, bool descending);
// The rows of a list that holds its own texts, changed in place: only the cells that differ from
// `shown` (what the list shows now, kept by the view) are set, so that the user's selection and
// place stay.
using Rows = std::vector<std::vector<std::string>>;
void SetRows(HWND list, const Rows& rows, Rows& shown);
// Makes each column as wide as its heading and the texts `cell(row, column)` of `rows` rows,
// at most `widest` pixels.
void FitColumns(HWND list, size_t rows, const std::function<std::string(size_t, size_t)>& cell,
                int widest);
// Copies a text into a buffer of the list's notifications, cut to fit.
void CopyText(const std::wstring& text, wchar_t* buffer, int capacity);
// The selected row; -1 for none.
int SelectedRow(HWND list);
// Every selected row, in order.
std::vector<int> SelectedRows(HWND list);
// Selects and shows one row (-1: none), without a notification reaching the model first.
void SelectRow(HWND list, int row);

}  // namespace tarnwick::win32
