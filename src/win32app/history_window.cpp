#include "history_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbers.h"
#include "control_ids.h"
#include "domain/history_time.h"
#include "history/history_window_model.h"
#include "list_views.h"

namespace tarnwick::win32 {
namespace {

constexpr char kSpanPrompt[] = "Span:";
constexpr char kShowPrompt[] = "Show:";
constexpr char kEventsPage[] = "Events";
constexpr char kTopPage[] = "Top processes";
constexpr std::string_view kTopHeadings[] = {"Process", "Kind", "On top", "Peak %", "When"};
constexpr std::string_view kSampleHeadings[] = {"Time", "Kind", "Rank", "Share %", "PID"};
constexpr COLORREF kAlertRowColour = RGB(0x9a, 0x10, 0x10);
// The events list's selection reaches the model once the list has settled on it: a click
// unselects one row before it selects another.
constexpr UINT kSelectionSettled = WM_APP + 1;
// The lines of the text under the pointer; the area never grows or shrinks with its text.
constexpr int kHoverLines = 2;
// A column is at most this wide (pixels at 96 DPI); its whole text is the row's tooltip.
constexpr int kWidestColumn = 460;

std::vector<std::string_view> Headings(const std::string_view* first, size_t count) {
  return {first, first + count};
}

// Shows or hides a control whether or not its window shows now (IsWindowVisible answers for the
// window too).
void ShowControl(HWND control, bool shown) {
  const bool now = (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
  if (now != shown) ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(L'\n', start);
    lines.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return lines;
}

}  // namespace

HistoryWindow::HistoryWindow(HistoryWindowModel& model) : model_(model) {
  RegisterTopWindowClass(kHistoryWindowClass, &HistoryWindow::WindowProc);

  window_ = CreateWindowExW(0, kHistoryWindowClass, W(model.caption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            1000, 860, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  CreateControls();
  metrics_ = std::make_unique<Metrics>(window_);
  SetFonts(window_, metrics_->font());
  SetWindowPos(window_, nullptr, 0, 0, metrics_->Px(1000), metrics_->Px(860),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
  ShowPage();
  // The model makes the file owner-only and names the system's reason when it cannot.
  model_.pictureEncoder = [this](std::ostream& out) { return EncodePicture(out); };
}

HistoryWindow::~HistoryWindow() {
  model_.pictureEncoder = nullptr;
  if (markerTip_ != nullptr) DestroyWindow(markerTip_);
  if (hoverTip_ != nullptr) DestroyWindow(hoverTip_);
  // The program ends with the window open: its place is kept as when it is hidden.
  if (window_ != nullptr && IsWindowVisible(window_)) placement_.Remember(window_);
  if (window_ != nullptr) DestroyWindow(window_);
}

void HistoryWindow::CreateControls() {
  HWND w = window_;
  HWND tabs = Child(w, WC_TABCONTROLW, "", WS_CLIPSIBLINGS | WS_TABSTOP, id::tabs);
  for (const char* page : {kEventsPage, kTopPage}) {
    const std::wstring text = W(page);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    const auto at = SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0);
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
  }

  Label(w, kSpanPrompt, id::lblSpanPrompt);
  for (size_t i = 0; i < kHistorySpans.size(); ++i) {
    // Push buttons that stay down while their span shows; the model says which.
    Child(w, L"BUTTON", kHistorySpans[i].caption,
          WS_TABSTOP | BS_RADIOBUTTON | BS_PUSHLIKE | (i == 0 ? WS_GROUP : 0),
          id::cmdSpan_0 + static_cast<int>(i));
  }
  PushButton(w, model_.cmdZoomBack.caption, id::cmdZoomBack);
  Label(w, "", id::lblNote, SS_ENDELLIPSIS);
  PushButton(w, model_.cmdExportCsv.caption, id::cmdExportCsv);
  PushButton(w, model_.cmdSavePicture.caption, id::cmdSavePicture);

  WNDCLASSEXW graphClass{};
  graphClass.cbSize = sizeof graphClass;
  graphClass.style = CS_HREDRAW | CS_VREDRAW;
  graphClass.lpfnWndProc = &HistoryWindow::GraphProc;
  graphClass.hInstance = GetModuleHandleW(nullptr);
  graphClass.hCursor = LoadCursorW(nullptr, IDC_CROSS);
  graphClass.lpszClassName = L"TarnwickHistoryGraph";
  RegisterClassExW(&graphClass);
  graph_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, graphClass.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, w,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id::picGraph)), GetModuleHandleW(nullptr), this);
  // Drawn by the window: each line cut with an ellipsis where it is too long.
  HWND hover = Label(w, "", id::lblHover, SS_OWNERDRAW | SS_NOTIFY);

  Label(w, kShowPrompt, id::lblShowPrompt);
  HWND filter = DropDown(w, id::cboEventFilter);
  for (const EventFilter& f : kEventFilters) {
    SendMessageW(filter, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(f.caption).c_str()));
  }
  ReportList(w, id::grdEvents, Headings(kEventColumns.data(), kEventColumns.size()), true,
             {static_cast<int>(EventColumn::Value)});
  ReportList(w, id::grdTop, Headings(kTopHeadings, std::size(kTopHeadings)), false, {2, 3});
  Label(w, "", id::lblSamples);
  ReportList(w, id::grdSamples, Headings(kSampleHeadings, std::size(kSampleHeadings)), false,
             {2, 3, 4});
  // The page control lies beneath the controls of its pages, which it leaves alone when it paints.
  SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  // A marker's text follows the pointer; the text under the pointer, when cut, is the hover
  // area's own tooltip.
  markerTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, 0,
                               0, 0, 0, w, nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = graph_;
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(markerTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  hoverTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX, 0,
                              0, 0, 0, w, nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW hoverTool{};
  hoverTool.cbSize = sizeof hoverTool;
  hoverTool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  hoverTool.hwnd = w;
  hoverTool.uId = reinterpret_cast<UINT_PTR>(hover);
  hoverTool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(hoverTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&hoverTool));
}

void HistoryWindow::Open() {
  model_.Show();
  Render();
  BringToFront(window_);
}

void HistoryWindow::OpenOn(int64_t t, HistoryEventKind kind) {
  model_.ShowEvent(t, kind);
  Render();
  BringToFront(window_);
}

void HistoryWindow::LayOut() {
  if (metrics_ == nullptr) return;
  const Metrics& m = *metrics_;
  auto at = [this](int id) { return GetDlgItem(window_, id); };
  RECT client{};
  GetClientRect(window_, &client);
  const int margin = m.Margin();
  const int gap = m.Gap();
  const int lh = m.LineHeight();
  const int bh = m.ButtonHeight();
  const int width = client.right - 2 * margin;

  // The top row: the spans and Back on the left, the exports on the right, the note between.
  int x = margin;
  int y = margin;
  const int prompt = m.TextWidth(kSpanPrompt) + m.Px(4);
  Put(at(id::lblSpanPrompt), x, y + (bh - lh) / 2, prompt, lh);
  x += prompt + gap;
  const int span = std::max(m.ButtonWidth("31 d"), m.Px(48));
  for (size_t i = 0; i < kHistorySpans.size(); ++i) {
    Put(at(id::cmdSpan_0 + static_cast<int>(i)), x, y, span, bh);
    x += span + (i + 1 == kHistorySpans.size() ? 2 * gap : 0);
  }
  const int back = std::max(m.ButtonWidth(model_.cmdZoomBack.caption), m.Px(64));
  Put(at(id::cmdZoomBack), x, y, back, bh);
  x += back + gap;
  const int picture = m.ButtonWidth(model_.cmdSavePicture.caption);
  const int csv = m.ButtonWidth(model_.cmdExportCsv.caption);
  const int right = margin + width;
  Put(at(id::cmdSavePicture), right - picture, y, picture, bh);
  Put(at(id::cmdExportCsv), right - picture - gap - csv, y, csv, bh);
  Put(at(id::lblNote), x, y + (bh - lh) / 2, std::max(0, right - picture - csv - 3 * gap - x), lh);
  y += bh + gap;

  // The graphs take a little more than half of what is left, the pages the rest.
  const int hover = kHoverLines * lh + m.Px(4);
  const int rest = std::max(0, static_cast<int>(client.bottom) - y - margin - hover - 2 * gap);
  const int graphs = std::max(m.Px(260), rest * 11 / 20);
  Put(graph_, margin, y, width, graphs);
  y += graphs + gap;
  Put(at(id::lblHover), margin, y, width, hover);
  y += hover + gap;
  const int tabsHeight = std::max(m.Px(140), static_cast<int>(client.bottom) - y - margin);
  HWND tabs = at(id::tabs);
  Put(tabs, margin, y, width, tabsHeight);
  RECT page{margin, y, margin + width, y + tabsHeight};
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  const int px = page.left + m.Px(2);
  const int pw = page.right - page.left - m.Px(4);
  int py = page.top + m.Px(4);
  const int ph = page.bottom - py - m.Px(2);
  const int eh = m.EditHeight();
  const int show = m.TextWidth(kShowPrompt) + m.Px(4);
  Put(at(id::lblShowPrompt), px, py + (eh - lh) / 2, show, lh);
  int filterWidth = 0;
  for (const EventFilter& f : kEventFilters) {
    filterWidth = std::max(filterWidth, m.TextWidth(f.caption) + m.Px(40));
  }
  Put(at(id::cboEventFilter), px + show + gap, py, filterWidth, eh + m.Px(160));
  Put(at(id::grdEvents), px, py + eh + gap, pw, std::max(0, ph - eh - gap));
  const int top = std::max(0, (ph - lh - 2 * gap) * 3 / 5);
  Put(at(id::grdTop), px, py, pw, top);
  py += top + gap;
  Put(at(id::lblSamples), px, py, pw, lh);
  py += lh + gap;
  Put(at(id::grdSamples), px, py, pw, std::max(0, static_cast<int>(page.bottom) - m.Px(2) - py));
}

void HistoryWindow::ShowPage() {
  const bool events = page_ == 0;
  for (int control : {id::lblShowPrompt, id::cboEventFilter, id::grdEvents}) {
    ShowControl(GetDlgItem(window_, control), events);
  }
  for (int control : {id::grdTop, id::lblSamples, id::grdSamples}) {
    ShowControl(GetDlgItem(window_, control), !events);
  }
}

void HistoryWindow::Render() {
  rendering_ = true;
  SetText(window_, model_.caption);
  for (size_t i = 0; i < kHistorySpans.size(); ++i) {
    SetChecked(GetDlgItem(window_, id::cmdSpan_0 + static_cast<int>(i)),
               static_cast<int>(i) == model_.spanIndex);
  }
  const std::pair<const Button*, int> buttons[] = {{&model_.cmdZoomBack, id::cmdZoomBack},
                                                   {&model_.cmdExportCsv, id::cmdExportCsv},
                                                   {&model_.cmdSavePicture, id::cmdSavePicture}};
  for (const auto& [button, control] : buttons) {
    SetText(GetDlgItem(window_, control), button->caption);
    SetEnabled(GetDlgItem(window_, control), button->enabled);
  }
  SetText(GetDlgItem(window_, id::lblNote), model_.lblNote);
  SetHover(model_.lblHover);
  RenderEvents();
  RenderTables();
  InvalidateRect(graph_, nullptr, FALSE);
  RenderTimer();
  if (model_.visible && !IsWindowVisible(window_)) {
    placement_.Apply(window_, {metrics_->Px(1000), metrics_->Px(860)},
                     {metrics_->Px(760), metrics_->Px(600)});
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
  } else if (!model_.visible && IsWindowVisible(window_)) {
    placement_.Remember(window_);
    ShowWindow(window_, SW_HIDE);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = graph_;
    SendMessageW(markerTip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  }
  rendering_ = false;
}

void HistoryWindow::RenderEvents() {
  HWND filter = GetDlgItem(window_, id::cboEventFilter);
  if (SendMessageW(filter, CB_GETCURSEL, 0, 0) != model_.eventFilterIndex) {
    SendMessageW(filter, CB_SETCURSEL, static_cast<WPARAM>(model_.eventFilterIndex), 0);
  }
  HWND list = GetDlgItem(window_, id::grdEvents);
  SetSortArrow(list, static_cast<int>(model_.eventSortColumn), model_.eventSortDescending);
  const auto rows = model_.eventRows.size();
  if (static_cast<size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) != rows) {
    SendMessageW(list, LVM_SETITEMCOUNT, rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  }
  FitColumns(
      list, rows, [this](size_t r, size_t c) { return model_.eventRows[r].cells[c]; },
      metrics_->Px(kWidestColumn));
  if (SelectedRow(list) != model_.selectedEventRow) SelectRow(list, model_.selectedEventRow);
  InvalidateRect(list, nullptr, FALSE);
}

void HistoryWindow::RenderTables() {
  Rows rows;
  for (const TopSummaryRow& r : model_.topRows) {
    rows.push_back({r.name, r.kind == TopKind::Cpu ? "CPU" : "Memory", std::to_string(r.timesOnTop),
                    OneDecimal(r.peakShare), HistoryTimeText(r.peakTime)});
  }
  HWND top = GetDlgItem(window_, id::grdTop);
  SetRows(top, rows, shownTop_);
  FitColumns(
      top, rows.size(), [&rows](size_t r, size_t c) { return rows[r][c]; },
      metrics_->Px(kWidestColumn));
  SetText(GetDlgItem(window_, id::lblSamples), model_.lblSamples);
  rows.clear();
  for (const TopEntry& e : model_.processSamples) {
    rows.push_back({HistoryTimeText(e.t), e.kind == TopKind::Cpu ? "CPU" : "Memory",
                    std::to_string(e.rank), OneDecimal(e.share),
                    e.pid > 0 ? std::to_string(e.pid) : std::string()});
  }
  HWND samples = GetDlgItem(window_, id::grdSamples);
  SetRows(samples, rows, shownSamples_);
  FitColumns(
      samples, rows.size(), [&rows](size_t r, size_t c) { return rows[r][c]; },
      metrics_->Px(kWidestColumn));
}

void HistoryWindow::RenderTimer() {
  // A running timer keeps its phase; it restarts only when its interval changes.
  const Timer& timer = model_.tmrRefresh;
  const bool wanted = timer.enabled && timer.intervalMs > 0;
  if (wanted && (!timerRunning_ || timerInterval_ != timer.intervalMs)) {
    SetTimer(window_, kRefreshTimer, static_cast<UINT>(timer.intervalMs), nullptr);
    timerRunning_ = true;
    timerInterval_ = timer.intervalMs;
  } else if (!wanted && timerRunning_) {
    KillTimer(window_, kRefreshTimer);
    timerRunning_ = false;
  }
}

void HistoryWindow::SetHover(const std::string& text) {
  HWND hover = GetDlgItem(window_, id::lblHover);
  const std::wstring wide = W(text);
  if (WindowText(hover) == wide) return;
  SetWindowTextW(hover, wide.c_str());
  InvalidateRect(hover, nullptr, FALSE);
  // The whole text is the area's tooltip when a line had to be cut.
  RECT area{};
  GetClientRect(hover, &area);
  const std::vector<std::wstring> lines = Lines(wide);
  bool cut = lines.size() > kHoverLines;
  for (const std::wstring& line : lines) cut = cut || metrics_->TextWidth(line) > area.right;
  const std::wstring tip = cut ? wide : std::wstring();
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(hover);
  tool.lpszText = const_cast<wchar_t*>(tip.c_str());
  SendMessageW(hoverTip_, TTM_SETMAXTIPWIDTH, 0, metrics_->Px(640));
  SendMessageW(hoverTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void HistoryWindow::DrawHover(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ old = SelectObject(dc, metrics_->font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const std::vector<std::wstring> lines = Lines(WindowText(item.hwndItem));
  const int lh = metrics_->LineHeight();
  for (size_t i = 0; i < lines.size() && i < kHoverLines; ++i) {
    RECT line{area.left, area.top + static_cast<int>(i) * lh, area.right,
              area.top + static_cast<int>(i + 1) * lh};
    DrawTextW(dc, lines[i].c_str(), static_cast<int>(lines[i].size()), &line,
              DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  SelectObject(dc, old);
}

void HistoryWindow::Forward(void (HistoryWindowModel::*handler)()) {
  (model_.*handler)();
  Render();
}

void HistoryWindow::OnCommand(int control, int code) {
  if (rendering_) return;
  if (control >= id::cmdSpan_0 &&
      control < id::cmdSpan_0 + static_cast<int>(kHistorySpans.size()) && code == BN_CLICKED) {
    model_.OnSpanClick(control - id::cmdSpan_0);
    Render();
    return;
  }
  switch (control) {
    case id::cmdZoomBack:
      if (code == BN_CLICKED) Forward(&HistoryWindowModel::OnZoomBackClick);
      break;
    case id::cmdExportCsv:
      if (code == BN_CLICKED) Forward(&HistoryWindowModel::OnExportCsvClick);
      break;
    case id::cmdSavePicture:
      if (code == BN_CLICKED) Forward(&HistoryWindowModel::OnSavePictureClick);
      break;
    case id::cboEventFilter:
      if (code == CBN_SELCHANGE) {
        const auto index = static_cast<int>(
            SendMessageW(GetDlgItem(window_, id::cboEventFilter), CB_GETCURSEL, 0, 0));
        model_.OnEventFilterClick(index);
        Render();
      }
      break;
    default:
      break;
  }
}

void HistoryWindow::OnSelectionSettled() {
  selectionPosted_ = false;
  const int row = SelectedRow(GetDlgItem(window_, id::grdEvents));
  if (row == model_.selectedEventRow) return;
  model_.OnEventSelect(row);
  Render();
}

bool HistoryWindow::OnNotify(const NMHDR& header, LRESULT& result) {
  const auto from = static_cast<int>(header.idFrom);
  if (from == id::tabs && header.code == TCN_SELCHANGE) {
    page_ = static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0));
    ShowPage();
    return true;
  }
  if (from == id::grdTop && header.code == NM_DBLCLK) {
    model_.OnTopDoubleClick(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
    Render();
    return true;
  }
  if (from != id::grdEvents) return false;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
      const auto row = static_cast<size_t>(info.item.iItem);
      const auto column = static_cast<size_t>(info.item.iSubItem);
      if ((info.item.mask & LVIF_TEXT) != 0 && row < model_.eventRows.size() &&
          column < kEventColumns.size()) {
        CopyText(W(model_.eventRows[row].cells[column]), info.item.pszText, info.item.cchTextMax);
      }
      result = 0;
      return true;
    }
    case LVN_GETINFOTIPW: {
      auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
      const auto row = static_cast<size_t>(tip.iItem);
      if (row < model_.eventRows.size()) {
        CopyText(W(model_.eventRows[row].tip), tip.pszText, tip.cchTextMax);
      }
      result = 0;
      return true;
    }
    case LVN_COLUMNCLICK:
      model_.OnEventHeaderClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      Render();
      return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
      if (!rendering_ && !selectionPosted_) {
        selectionPosted_ = true;
        PostMessageW(window_, kSelectionSettled, 0, 0);
      }
      result = 0;
      return true;
    case NM_CUSTOMDRAW: {
      auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
      if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
      } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const auto row = static_cast<size_t>(draw.nmcd.dwItemSpec);
        const bool alert = row < model_.eventRows.size() && model_.eventRows[row].alert;
        if (alert) draw.clrText = kAlertRowColour;
        result = alert ? CDRF_NEWFONT : CDRF_DODEFAULT;
      } else {
        result = CDRF_DODEFAULT;
      }
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK HistoryWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  return ObjectWindowMessage(&HistoryWindow::window_, &HistoryWindow::OnMessage, window, message,
                             wParam, lParam);
}

LRESULT HistoryWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      break;
    }
    case kSelectionSettled:
      OnSelectionSettled();
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID == static_cast<UINT>(id::lblHover)) {
        DrawHover(item);
        return TRUE;
      }
      break;
    }
    case WM_TIMER:
      if (wParam == kRefreshTimer) Forward(&HistoryWindowModel::OnTmrRefreshTick);
      return 0;
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_GETMINMAXINFO:
      if (metrics_) {
        auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
        limits.ptMinTrackSize.x = metrics_->Px(760);
        limits.ptMinTrackSize.y = metrics_->Px(600);
      }
      return 0;
    case WM_CLOSE:
      Forward(&HistoryWindowModel::OnClose);
      return 0;
    case WM_DPICHANGED: {
      auto metrics = std::make_unique<Metrics>(window_);
      SetFonts(window_, metrics->font());
      metrics_ = std::move(metrics);
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut();
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace tarnwick::win32
