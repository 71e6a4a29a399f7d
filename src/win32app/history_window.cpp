#include "history_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control_ids.h"
#include "history/history_time.h"
#include "history/history_window_model.h"

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kGraphClass[] = L"TarnwickHistoryGraph";
constexpr char kCpuTitle[] = "CPU %";
constexpr char kMemTitle[] = "Memory %";
constexpr const char* kTopHeadings[] = {"Process", "Kind", "On top", "Peak %", "When"};
constexpr const char* kSampleHeadings[] = {"Time", "Kind", "Rank", "Share %", "PID"};
constexpr COLORREF kCpuColour = RGB(0x1f, 0x77, 0xb4);
constexpr COLORREF kMemColour = RGB(0x2c, 0xa0, 0x2c);
constexpr COLORREF kAlertColour = RGB(0xd0, 0x10, 0x10);
constexpr COLORREF kGridColour = RGB(0xdd, 0xdd, 0xdd);
// How close, in pixels at 96 DPI, the pointer must come to an alert marker to show its text.
constexpr int kMarkerReach = 6;

std::string Fixed1(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string AxisTime(int64_t t, bool withDate) {
  const LocalTime at = FromHistorySeconds(t);
  char text[32];
  if (withDate) {
    std::snprintf(text, sizeof text, "%02d-%02d %02d:%02d", at.month, at.day, at.hour, at.minute);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", at.hour, at.minute);
  }
  return text;
}

HWND Table(HWND parent, int id, const char* const* headings, size_t count) {
  HWND table =
      Child(parent, WC_LISTVIEWW, "", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
            id, WS_EX_CLIENTEDGE);
  SendMessageW(table, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_GRIDLINES);
  for (size_t i = 0; i < count; ++i) {
    const std::wstring heading = W(headings[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 100;
    column.pszText = const_cast<wchar_t*>(heading.c_str());
    SendMessageW(table, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  return table;
}

void SetRows(HWND table, const std::vector<std::vector<std::string>>& rows) {
  SendMessageW(table, WM_SETREDRAW, FALSE, 0);
  SendMessageW(table, LVM_DELETEALLITEMS, 0, 0);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const std::wstring text = W(rows[r][c]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(r);
      item.iSubItem = static_cast<int>(c);
      item.pszText = const_cast<wchar_t*>(text.c_str());
      SendMessageW(table, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
  const auto columns = static_cast<int>(SendMessageW(
      reinterpret_cast<HWND>(SendMessageW(table, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c) {
    SendMessageW(table, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), LVSCW_AUTOSIZE_USEHEADER);
  }
  SendMessageW(table, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(table, nullptr, TRUE);
}

}  // namespace

HistoryWindow::HistoryWindow(HistoryWindowModel& model) : model_(model) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &HistoryWindow::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kHistoryWindowClass;
  windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  RegisterClassExW(&windowClass);
  WNDCLASSEXW graphClass{};
  graphClass.cbSize = sizeof graphClass;
  graphClass.style = CS_HREDRAW | CS_VREDRAW;
  graphClass.lpfnWndProc = &HistoryWindow::GraphProc;
  graphClass.hInstance = GetModuleHandleW(nullptr);
  graphClass.hCursor = LoadCursorW(nullptr, IDC_CROSS);
  graphClass.lpszClassName = kGraphClass;
  RegisterClassExW(&graphClass);

  window_ = CreateWindowExW(0, kHistoryWindowClass, W(model.caption).c_str(), WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, 900, 820, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
  HWND span = DropDown(window_, id::cboSpan);
  for (const HistorySpan& s : kHistorySpans) {
    SendMessageW(span, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(s.caption).c_str()));
  }
  Label(window_, "", id::lblNote);
  graph_ = CreateWindowExW(WS_EX_CLIENTEDGE, kGraphClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                           window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::picGraph)),
                           GetModuleHandleW(nullptr), this);
  Label(window_, "", id::lblHover);
  Table(window_, id::grdTop, kTopHeadings, std::size(kTopHeadings));
  Label(window_, "", id::lblSamples);
  Table(window_, id::grdSamples, kSampleHeadings, std::size(kSampleHeadings));
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, 0, 0, 0,
                         0, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = graph_;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  metrics_ = std::make_unique<Metrics>(window_);
  SetFonts(window_, metrics_->font());
  LayOut();
}

HistoryWindow::~HistoryWindow() {
  if (tip_ != nullptr) DestroyWindow(tip_);
  if (window_ != nullptr) DestroyWindow(window_);
}

void HistoryWindow::Open() {
  model_.Show();
  Render();
}

void HistoryWindow::LayOut() {
  if (metrics_ == nullptr) return;
  const Metrics& m = *metrics_;
  RECT client{};
  GetClientRect(window_, &client);
  const int margin = m.Margin();
  const int gap = m.Gap();
  const int lh = m.LineHeight();
  const int eh = m.EditHeight();
  const int width = client.right - 2 * margin;
  int y = margin;
  const int spanWidth = m.TextWidth("Last 6 hours") + m.Px(48);
  Put(GetDlgItem(window_, id::cboSpan), margin, y, spanWidth, eh + m.Px(120));
  Put(GetDlgItem(window_, id::lblNote), margin + spanWidth + gap, y + (eh - lh) / 2,
      width - spanWidth - gap, lh);
  y += eh + gap;
  const int rest = client.bottom - y - margin - 2 * lh - lh - 4 * gap;
  const int graphHeight = std::max(m.Px(240), rest * 11 / 20);
  Put(graph_, margin, y, width, graphHeight);
  y += graphHeight + gap;
  Put(GetDlgItem(window_, id::lblHover), margin, y, width, 2 * lh);
  y += 2 * lh + gap;
  const int tables = std::max<int>(m.Px(120), client.bottom - y - margin - lh - 2 * gap);
  Put(GetDlgItem(window_, id::grdTop), margin, y, width, tables * 3 / 5);
  y += tables * 3 / 5 + gap;
  Put(GetDlgItem(window_, id::lblSamples), margin, y, width, lh);
  y += lh + gap;
  Put(GetDlgItem(window_, id::grdSamples), margin, y, width, client.bottom - margin - y);
}

void HistoryWindow::Render() {
  rendering_ = true;
  SetText(window_, model_.caption);
  HWND span = GetDlgItem(window_, id::cboSpan);
  if (SendMessageW(span, CB_GETCURSEL, 0, 0) != model_.spanIndex) {
    SendMessageW(span, CB_SETCURSEL, static_cast<WPARAM>(model_.spanIndex), 0);
  }
  SetText(GetDlgItem(window_, id::lblNote), model_.lblNote);
  SetText(GetDlgItem(window_, id::lblHover), model_.lblHover);
  RenderTables();
  InvalidateRect(graph_, nullptr, FALSE);
  if (model_.visible && !IsWindowVisible(window_)) {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
  } else if (!model_.visible && IsWindowVisible(window_)) {
    ShowWindow(window_, SW_HIDE);
  }
  rendering_ = false;
}

void HistoryWindow::RenderTables() {
  std::vector<std::vector<std::string>> rows;
  for (const TopSummaryRow& r : model_.topRows) {
    rows.push_back({r.name, r.kind == TopKind::Cpu ? "CPU" : "Memory", std::to_string(r.timesOnTop),
                    Fixed1(r.peakShare), HistoryTimeText(r.peakTime)});
  }
  SetRows(GetDlgItem(window_, id::grdTop), rows);
  SetText(GetDlgItem(window_, id::lblSamples), model_.lblSamples);
  rows.clear();
  for (const TopEntry& e : model_.processSamples) {
    rows.push_back({HistoryTimeText(e.t), e.kind == TopKind::Cpu ? "CPU" : "Memory",
                    std::to_string(e.rank), Fixed1(e.share),
                    e.pid > 0 ? std::to_string(e.pid) : std::string()});
  }
  SetRows(GetDlgItem(window_, id::grdSamples), rows);
}

RECT HistoryWindow::Plot(bool cpu) const {
  RECT area{};
  GetClientRect(graph_, &area);
  const Metrics& m = *metrics_;
  const int lh = m.LineHeight();
  const int half = (area.bottom - area.top) / 2;
  RECT plot;
  plot.left = area.left + m.TextWidth("100") + m.Px(12);
  plot.right = area.right - m.Px(16);
  plot.top = (cpu ? area.top : area.top + half) + lh + m.Px(6);
  plot.bottom = (cpu ? area.top + half : area.bottom) - lh - m.Px(8);
  return plot;
}

int64_t HistoryWindow::TimeAt(int x) const {
  const RECT plot = Plot(true);
  const int width = std::max<int>(1, plot.right - plot.left);
  const int at = std::clamp<int>(x, plot.left, plot.right);
  return model_.from + (model_.to - model_.from) * (at - plot.left) / width;
}

void HistoryWindow::PaintGraphs(HDC dc, const RECT& area) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, metrics_->font());
  SetBkMode(dc, TRANSPARENT);
  PaintGraph(dc, Plot(true), true);
  PaintGraph(dc, Plot(false), false);
  SelectObject(dc, oldFont);
}

void HistoryWindow::PaintGraph(HDC dc, const RECT& plot, bool cpu) {
  const Metrics& m = *metrics_;
  const int lh = m.LineHeight();
  const int width = std::max<int>(1, plot.right - plot.left);
  const int height = std::max<int>(1, plot.bottom - plot.top);
  const int64_t span = std::max<int64_t>(1, model_.to - model_.from);
  auto xOf = [&](int64_t t) {
    return plot.left + static_cast<int>((t - model_.from) * width / span);
  };
  auto yOf = [&](int value) { return plot.bottom - value * height / 100; };

  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const std::wstring title = W(cpu ? kCpuTitle : kMemTitle);
  TextOutW(dc, plot.left, plot.top - lh - m.Px(4), title.c_str(), static_cast<int>(title.size()));
  // The value grid every 20 %, labelled on the left.
  HPEN grid = CreatePen(PS_SOLID, 1, kGridColour);
  HGDIOBJ oldPen = SelectObject(dc, grid);
  for (int value = 0; value <= 100; value += 20) {
    MoveToEx(dc, plot.left, yOf(value), nullptr);
    LineTo(dc, plot.right, yOf(value));
    const std::wstring label = std::to_wstring(value);
    RECT text{plot.left - m.Px(40), yOf(value) - lh / 2, plot.left - m.Px(4), yOf(value) + lh / 2};
    DrawTextW(dc, label.c_str(), -1, &text, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
  }
  // Six time marks under the graph.
  const bool withDate = span > 86400;
  for (int i = 0; i <= 6; ++i) {
    const int64_t t = model_.from + span * i / 6;
    const int x = xOf(t);
    MoveToEx(dc, x, plot.top, nullptr);
    LineTo(dc, x, plot.bottom);
    const std::wstring label = W(AxisTime(t, withDate));
    const int labelWidth = m.TextWidth(label);
    const int left =
        std::clamp<int>(x - labelWidth / 2, plot.left - m.Px(8), plot.right - labelWidth);
    TextOutW(dc, left, plot.bottom + m.Px(3), label.c_str(), static_cast<int>(label.size()));
  }
  SelectObject(dc, oldPen);
  DeleteObject(grid);
  HBRUSH frame = GetSysColorBrush(COLOR_GRAYTEXT);
  RECT box{plot.left, plot.top, plot.right + 1, plot.bottom + 1};
  FrameRect(dc, &box, frame);

  // The values.
  std::vector<POINT> line;
  line.reserve(model_.points.size());
  for (const SeriesPoint& p : model_.points) {
    line.push_back({xOf(p.t), yOf(cpu ? p.cpu : p.mem)});
  }
  HPEN values = CreatePen(PS_SOLID, m.Px(2) / 2 + 1, cpu ? kCpuColour : kMemColour);
  oldPen = SelectObject(dc, values);
  if (line.size() == 1) {
    Ellipse(dc, line[0].x - 2, line[0].y - 2, line[0].x + 3, line[0].y + 3);
  } else if (!line.empty()) {
    Polyline(dc, line.data(), static_cast<int>(line.size()));
  }
  SelectObject(dc, oldPen);
  DeleteObject(values);

  // The threshold, dashed.
  if (const auto& threshold = cpu ? model_.cpuThreshold : model_.memThreshold;
      threshold && *threshold >= 0 && *threshold <= 100) {
    HPEN dashed = CreatePen(PS_DASH, 1, kAlertColour);
    oldPen = SelectObject(dc, dashed);
    MoveToEx(dc, plot.left, yOf(*threshold), nullptr);
    LineTo(dc, plot.right, yOf(*threshold));
    SelectObject(dc, oldPen);
    DeleteObject(dashed);
  }
  // The alerts.
  HBRUSH marker = CreateSolidBrush(kAlertColour);
  HGDIOBJ oldBrush = SelectObject(dc, marker);
  HGDIOBJ plainPen = SelectObject(dc, GetStockObject(NULL_PEN));
  const int r = m.Px(4);
  for (const AlertMarker& a : model_.alerts) {
    const int x = xOf(a.t);
    const int y = yOf(cpu ? a.cpu : a.mem);
    Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
  }
  SelectObject(dc, plainPen);
  SelectObject(dc, oldBrush);
  DeleteObject(marker);
}

void HistoryWindow::OnGraphMouse(int x, int y) {
  model_.OnHover(TimeAt(x));
  SetText(GetDlgItem(window_, id::lblHover), model_.lblHover);
  // An alert marker near the pointer shows its text.
  const std::string* text = nullptr;
  const int reach = metrics_->Px(kMarkerReach);
  for (bool cpu : {true, false}) {
    const RECT plot = Plot(cpu);
    const int64_t span = std::max<int64_t>(1, model_.to - model_.from);
    for (const AlertMarker& a : model_.alerts) {
      const int mx =
          plot.left + static_cast<int>((a.t - model_.from) * (plot.right - plot.left) / span);
      const int my = plot.bottom - (cpu ? a.cpu : a.mem) * (plot.bottom - plot.top) / 100;
      if (std::abs(mx - x) <= reach && std::abs(my - y) <= reach) text = &a.text;
    }
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = graph_;
  if (text == nullptr) {
    SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    return;
  }
  const std::wstring shown = W(*text);
  tool.lpszText = const_cast<wchar_t*>(shown.c_str());
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, metrics_->Px(480));
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  POINT at{x + reach * 2, y + reach * 2};
  ClientToScreen(graph_, &at);
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK HistoryWindow::GraphProc(HWND graph, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(graph, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<HistoryWindow*>(GetWindowLongPtrW(graph, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(graph, &paint);
      RECT area{};
      GetClientRect(graph, &area);
      if (self != nullptr && self->metrics_ != nullptr) {
        // Drawn off the screen first, so that a refresh does not flicker.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, area.right, area.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        self->PaintGraphs(memory, area);
        BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
      }
      EndPaint(graph, &paint);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (self != nullptr) self->OnGraphMouse(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    default:
      return DefWindowProcW(graph, message, wParam, lParam);
  }
}

LRESULT CALLBACK HistoryWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<HistoryWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<HistoryWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT HistoryWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == id::cboSpan && HIWORD(wParam) == CBN_SELCHANGE && !rendering_) {
        const int index =
            static_cast<int>(SendMessageW(GetDlgItem(window_, id::cboSpan), CB_GETCURSEL, 0, 0));
        model_.OnSpanClick(index);
        Render();
      }
      return 0;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (header.idFrom == static_cast<UINT_PTR>(id::grdTop) && header.code == NM_DBLCLK) {
        const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
        model_.OnTopDoubleClick(click.iItem);
        Render();
        return 0;
      }
      break;
    }
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_CLOSE:
      model_.OnClose();
      Render();
      return 0;
    case WM_DPICHANGED: {
      auto metrics = std::make_unique<Metrics>(window_);
      SetFonts(window_, metrics->font());
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
