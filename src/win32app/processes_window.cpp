#include "processes_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "control_ids.h"
#include "list_views.h"
#include "processes/processes_window_model.h"

namespace tarnwick::win32 {
namespace {

constexpr char kMarkedTip[] = "The process an alert now would terminate";
constexpr COLORREF kMarkedRowColour = RGB(0xfd, 0xe2, 0xe2);
constexpr int kGrids[] = {id::grdCpu, id::grdMemory};
constexpr int kCaptions[] = {id::lblCpuCaption, id::lblMemoryCaption};
constexpr int kMarked[] = {id::lblCpuMarked, id::lblMemoryMarked};
// Lines kept for the text under each list, whatever it says.
constexpr int kMarkedLines = 3;

}  // namespace

ProcessesWindow::ProcessesWindow(ProcessesWindowModel& model) : model_(model) {
  RegisterTopWindowClass(kProcessesWindowClass, &ProcessesWindow::WindowProc);
  window_ = CreateWindowExW(0, kProcessesWindowClass, W(model.caption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            1120, 520, nullptr, nullptr, GetModuleHandleW(nullptr), this);

  Label(window_, "", id::lblNote);
  std::vector<std::string_view> headings(kProcessColumns.begin(), kProcessColumns.end());
  const std::vector<int> numbers = {static_cast<int>(ProcessColumn::Cpu),
                                    static_cast<int>(ProcessColumn::Memory)};
  for (size_t i = 0; i < model_.tables.size(); ++i) {
    Label(window_, model_.tables[i].caption, kCaptions[i]);
    ReportList(window_, kGrids[i], headings, false, numbers);
    Label(window_, "", kMarked[i]);
  }
  metrics_ = std::make_unique<Metrics>(window_);
  SetFonts(window_, metrics_->font());
  for (int caption : kCaptions) {
    SendMessageW(GetDlgItem(window_, caption), WM_SETFONT,
                 reinterpret_cast<WPARAM>(metrics_->bold()), FALSE);
  }
  SetWindowPos(window_, nullptr, 0, 0, metrics_->Px(1120), metrics_->Px(520),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
  model_.changed = [this] { Render(); };
}

ProcessesWindow::~ProcessesWindow() {
  model_.changed = nullptr;
  // The program ends with the window open: its place is kept as when it is hidden.
  if (window_ != nullptr && IsWindowVisible(window_)) placement_.Remember(window_);
  if (window_ != nullptr) DestroyWindow(window_);
}

void ProcessesWindow::Open() {
  model_.Show();
  Render();
  BringToFront(window_);
}

void ProcessesWindow::LayOut() {
  if (metrics_ == nullptr) return;
  const Metrics& m = *metrics_;
  RECT client{};
  GetClientRect(window_, &client);
  const int margin = m.Margin();
  const int gap = m.Gap();
  const int lh = m.LineHeight();
  const int half = (client.right - 2 * margin - gap) / 2;
  int y = margin;
  Put(GetDlgItem(window_, id::lblNote), margin, y, client.right - 2 * margin, lh);
  y += lh + gap;
  const int marked = kMarkedLines * lh;
  const int list =
      std::max(m.Px(80), static_cast<int>(client.bottom) - y - lh - marked - 2 * gap - margin);
  for (size_t i = 0; i < model_.tables.size(); ++i) {
    const int x = margin + static_cast<int>(i) * (half + gap);
    Put(GetDlgItem(window_, kCaptions[i]), x, y, half, lh);
    Put(GetDlgItem(window_, kGrids[i]), x, y + lh + gap, half, list);
    Put(GetDlgItem(window_, kMarked[i]), x, y + lh + list + 2 * gap, half, marked);
  }
  for (size_t i = 0; i < model_.tables.size(); ++i) RenderTable(i);
}

void ProcessesWindow::Render() {
  SetText(window_, model_.caption);
  SetText(GetDlgItem(window_, id::lblNote), model_.lblNote);
  for (size_t i = 0; i < model_.tables.size(); ++i) RenderTable(i);
  if (model_.visible && !IsWindowVisible(window_)) {
    placement_.Apply(window_, {metrics_->Px(1120), metrics_->Px(520)},
                     {metrics_->Px(720), metrics_->Px(320)});
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
  } else if (!model_.visible && IsWindowVisible(window_)) {
    placement_.Remember(window_);
    ShowWindow(window_, SW_HIDE);
  }
}

void ProcessesWindow::RenderTable(size_t index) {
  const ProcessTable& table = model_.tables[index];
  SetText(GetDlgItem(window_, kCaptions[index]), table.caption);
  SetText(GetDlgItem(window_, kMarked[index]), table.lblMarked);
  HWND list = GetDlgItem(window_, kGrids[index]);
  SetSortArrow(list, static_cast<int>(table.sortColumn), table.descending);
  Rows rows;
  rows.reserve(table.rows.size());
  for (const ProcessRow& row : table.rows) rows.emplace_back(row.cells.begin(), row.cells.end());
  SetRows(list, rows, shown_[index]);
  // Each text is measured with room for the bold face of the marked row; the name takes what
  // is left of the list's width.
  FitColumns(
      list, rows.size(), [&rows](size_t r, size_t c) { return rows[r][c] + "  "; },
      metrics_->Px(360));
  RECT client{};
  GetClientRect(list, &client);
  const int name = static_cast<int>(ProcessColumn::Name);
  int others = 0;
  for (int c = 0; c < static_cast<int>(kProcessColumns.size()); ++c) {
    if (c != name) others += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
  }
  const int fitted = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, name, 0));
  const int room = client.right - others;
  if (room > fitted) SendMessageW(list, LVM_SETCOLUMNWIDTH, name, room);
}

int ProcessesWindow::TableOf(int control) const {
  for (size_t i = 0; i < std::size(kGrids); ++i) {
    if (kGrids[i] == control) return static_cast<int>(i);
  }
  return -1;
}

bool ProcessesWindow::OnNotify(const NMHDR& header, LRESULT& result) {
  const int table = TableOf(static_cast<int>(header.idFrom));
  if (table < 0) return false;
  const std::vector<ProcessRow>& rows = model_.tables[static_cast<size_t>(table)].rows;
  switch (header.code) {
    case LVN_COLUMNCLICK:
      model_.OnHeaderClick(static_cast<size_t>(table),
                           reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      Render();
      result = 0;
      return true;
    case LVN_GETINFOTIPW: {
      auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
      const auto row = static_cast<size_t>(tip.iItem);
      if (row < rows.size() && rows[row].marked) {
        CopyText(W(kMarkedTip), tip.pszText, tip.cchTextMax);
      }
      result = 0;
      return true;
    }
    case NM_CUSTOMDRAW: {
      auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
      result = CDRF_DODEFAULT;
      if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
      } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const auto row = static_cast<size_t>(draw.nmcd.dwItemSpec);
        if (row < rows.size() && rows[row].marked) {
          SelectObject(draw.nmcd.hdc, metrics_->bold());
          draw.clrTextBk = kMarkedRowColour;
          result = CDRF_NEWFONT;
        }
      }
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK ProcessesWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  return ObjectWindowMessage(&ProcessesWindow::window_, &ProcessesWindow::OnMessage, window,
                             message, wParam, lParam);
}

LRESULT ProcessesWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_GETMINMAXINFO:
      if (metrics_) {
        auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
        limits.ptMinTrackSize.x = metrics_->Px(720);
        limits.ptMinTrackSize.y = metrics_->Px(320);
      }
      return 0;
    case WM_CLOSE:
      model_.OnClose();
      Render();
      return 0;
    case WM_DPICHANGED: {
      auto metrics = std::make_unique<Metrics>(window_);
      SetFonts(window_, metrics->font());
      for (int caption : kCaptions) {
        SendMessageW(GetDlgItem(window_, caption), WM_SETFONT,
                     reinterpret_cast<WPARAM>(metrics->bold()), FALSE);
      }
      metrics_ = std::move(metrics);
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace tarnwick::win32
