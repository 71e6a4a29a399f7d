// The History window's graphs: drawing them (on the screen and into the PNG picture), the
// pointer's time and marker over them, and zooming by a drag.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control_ids.h"
#include "domain/history_time.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "png_picture.h"

namespace tarnwick::win32 {
namespace {

constexpr char kCpuTitle[] = "CPU %";
constexpr char kMemTitle[] = "Memory %";
constexpr COLORREF kCpuColour = RGB(0x1f, 0x77, 0xb4);
constexpr COLORREF kMemColour = RGB(0x2c, 0xa0, 0x2c);
constexpr COLORREF kAlertColour = RGB(0xd6, 0x27, 0x28);
constexpr COLORREF kLogOnlyColour = RGB(0xff, 0x7f, 0x0e);
constexpr COLORREF kSelectedColour = RGB(0x33, 0x33, 0x33);
constexpr COLORREF kGridColour = RGB(0xdd, 0xdd, 0xdd);
constexpr COLORREF kBandColour = RGB(0xcc, 0xe0, 0xf6);
// Pixels at 96 DPI: how close the pointer must come to a marker to show its text, a marker's
// radius, the selected marker's ring, and how far a press must move to be a drag, not a click.
constexpr int kMarkerReach = 6;
constexpr int kMarkerRadius = 4;
constexpr int kRingRadius = 7;
constexpr int kDragPixels = 4;

// A pen or brush made for one drawing, selected while the scope lasts.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object, bool owned = true)
      : dc_(dc), object_(object), old_(SelectObject(dc, object)), owned_(owned) {}
  ~Selected() {
    SelectObject(dc_, old_);
    if (owned_) DeleteObject(object_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_;
  HGDIOBJ old_;
  bool owned_;
};

}  // namespace

RECT HistoryWindow::Plot(bool cpu) const {
  RECT area{};
  GetClientRect(graph_, &area);
  const Metrics& m = *metrics_;
  const int lh = m.LineHeight();
  const int half = (area.bottom - area.top) / 2;
  RECT plot;
  plot.left = area.left + m.TextWidth("100") + m.Px(12);
  plot.right = area.right - m.Px(16);
  plot.top = (cpu ? area.top : area.top + half) + lh + m.Px(8);
  plot.bottom = (cpu ? area.top + half : area.bottom) - lh - m.Px(8);
  return plot;
}

int64_t HistoryWindow::TimeAt(int x) const {
  const RECT plot = Plot(true);
  const int width = std::max<int>(1, plot.right - plot.left);
  const int at = std::clamp<int>(x, plot.left, plot.right);
  return model_.viewFrom + (model_.viewTo - model_.viewFrom) * (at - plot.left) / width;
}

POINT HistoryWindow::PointOf(bool cpu, int64_t t, int value) const {
  const RECT plot = Plot(cpu);
  const int64_t width = std::max<int64_t>(1, plot.right - plot.left);
  const int height = std::max<int>(1, plot.bottom - plot.top);
  const int64_t span = std::max<int64_t>(1, model_.viewTo - model_.viewFrom);
  const int64_t dx = (t - model_.viewFrom) * width / span;
  return {plot.left + static_cast<int>(dx), plot.bottom - std::clamp(value, 0, 100) * height / 100};
}

const GraphMarker* HistoryWindow::MarkerAt(int x, int y) const {
  const int reach = metrics_->Px(kMarkerReach);
  for (const bool cpu : {true, false}) {
    for (const GraphMarker& marker : cpu ? model_.cpuMarkers : model_.memMarkers) {
      const POINT at = PointOf(cpu, marker.t, marker.value);
      if (std::abs(at.x - x) <= reach && std::abs(at.y - y) <= reach) return &marker;
    }
  }
  return nullptr;
}

void HistoryWindow::PaintGraphs(HDC dc, const RECT& area) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, metrics_->font());
  SetBkMode(dc, TRANSPARENT);
  PaintGraph(dc, true);
  PaintGraph(dc, false);
  SelectObject(dc, oldFont);
}

void HistoryWindow::PaintGraph(HDC dc, bool cpu) {
  const Metrics& m = *metrics_;
  const int lh = m.LineHeight();
  const RECT plot = Plot(cpu);
  auto yOf = [&](int value) { return PointOf(cpu, model_.viewFrom, value).y; };
  auto xOf = [&](int64_t t) { return PointOf(cpu, t, 0).x; };

  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const std::wstring title = W(cpu ? kCpuTitle : kMemTitle);
  TextOutW(dc, plot.left, plot.top - lh - m.Px(6), title.c_str(), static_cast<int>(title.size()));
  if (drag_.on && drag_.cpu == cpu) {
    RECT band{std::min(drag_.startX, drag_.nowX), plot.top, std::max(drag_.startX, drag_.nowX),
              plot.bottom};
    HBRUSH fill = CreateSolidBrush(kBandColour);
    FillRect(dc, &band, fill);
    DeleteObject(fill);
  }
  {
    // The value grid every 20 %, labelled on the left; the time ticks under the graph.
    const Selected grid(dc, CreatePen(PS_SOLID, 1, kGridColour));
    for (int value = 0; value <= 100; value += 20) {
      MoveToEx(dc, plot.left, yOf(value), nullptr);
      LineTo(dc, plot.right, yOf(value));
      const std::wstring label = std::to_wstring(value);
      RECT text{plot.left - m.Px(40), yOf(value) - lh / 2, plot.left - m.Px(4),
                yOf(value) + lh / 2};
      DrawTextW(dc, label.c_str(), -1, &text, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    }
    // The model's ticks: round local times, each label once.
    timeLabels_.clear();
    for (const TimeTick& tick : model_.timeTicks) {
      const int x = xOf(tick.t);
      MoveToEx(dc, x, plot.top, nullptr);
      LineTo(dc, x, plot.bottom);
      const std::wstring label = W(tick.label);
      const int labelWidth = m.TextWidth(label);
      const int left =
          std::clamp<int>(x - labelWidth / 2, plot.left - m.Px(8), plot.right - labelWidth);
      TextOutW(dc, left, plot.bottom + m.Px(3), label.c_str(), static_cast<int>(label.size()));
      timeLabels_.push_back(tick.label);
    }
  }
  RECT box{plot.left, plot.top, plot.right + 1, plot.bottom + 1};
  FrameRect(dc, &box, GetSysColorBrush(COLOR_GRAYTEXT));

  if (const auto& threshold = cpu ? model_.cpuThreshold : model_.memThreshold;
      threshold && *threshold >= 0 && *threshold <= 100) {
    const Selected dashed(dc, CreatePen(PS_DASH, 1, kAlertColour));
    MoveToEx(dc, plot.left, yOf(*threshold), nullptr);
    LineTo(dc, plot.right, yOf(*threshold));
  }

  std::vector<POINT> line;
  line.reserve(model_.points.size());
  for (const SeriesPoint& p : model_.points) line.push_back(PointOf(cpu, p.t, cpu ? p.cpu : p.mem));
  {
    const Selected values(dc, CreatePen(PS_SOLID, m.Px(2) / 2 + 1, cpu ? kCpuColour : kMemColour));
    if (line.size() == 1) {
      Ellipse(dc, line[0].x - 2, line[0].y - 2, line[0].x + 3, line[0].y + 3);
    } else if (!line.empty()) {
      Polyline(dc, line.data(), static_cast<int>(line.size()));
    }
  }

  if (model_.selectedTime && *model_.selectedTime >= model_.viewFrom &&
      *model_.selectedTime < model_.viewTo) {
    const Selected dotted(dc, CreatePen(PS_DOT, 1, kSelectedColour));
    const int x = xOf(*model_.selectedTime);
    MoveToEx(dc, x, plot.top, nullptr);
    LineTo(dc, x, plot.bottom);
  }

  // Alerts that were sent are filled, those only written to the log hollow; the selected one
  // wears a ring.
  const int r = m.Px(kMarkerRadius);
  const int ring = m.Px(kRingRadius);
  for (const GraphMarker& marker : cpu ? model_.cpuMarkers : model_.memMarkers) {
    const POINT at = PointOf(cpu, marker.t, marker.value);
    const bool logOnly = marker.style == MarkerStyle::LogOnly;
    {
      const Selected pen(dc, CreatePen(PS_SOLID, m.Px(2), logOnly ? kLogOnlyColour : kAlertColour));
      const Selected fill(
          dc, logOnly ? GetStockObject(WHITE_BRUSH) : CreateSolidBrush(kAlertColour), !logOnly);
      Ellipse(dc, at.x - r, at.y - r, at.x + r + 1, at.y + r + 1);
    }
    if (marker.selected) {
      const Selected pen(dc, CreatePen(PS_SOLID, m.Px(2), kSelectedColour));
      const Selected hollow(dc, GetStockObject(NULL_BRUSH), false);
      Ellipse(dc, at.x - ring, at.y - ring, at.x + ring + 1, at.y + ring + 1);
    }
  }
}

void HistoryWindow::ShowMarkerTip(int x, int y) {
  const GraphMarker* marker = MarkerAt(x, y);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = graph_;
  if (marker == nullptr) {
    SendMessageW(markerTip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    return;
  }
  const std::wstring shown = W(marker->tip);
  tool.lpszText = const_cast<wchar_t*>(shown.c_str());
  SendMessageW(markerTip_, TTM_SETMAXTIPWIDTH, 0, metrics_->Px(520));
  SendMessageW(markerTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  const int offset = 2 * metrics_->Px(kMarkerReach);
  POINT at{x + offset, y + offset};
  ClientToScreen(graph_, &at);
  SendMessageW(markerTip_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(markerTip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void HistoryWindow::OnGraphMouse(UINT message, int x, int y) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      const bool cpu = y < (Plot(true).bottom + Plot(false).top) / 2;
      const RECT plot = Plot(cpu);
      drag_ = {true, cpu, std::clamp<int>(x, plot.left, plot.right),
               std::clamp<int>(x, plot.left, plot.right)};
      SetCapture(graph_);
      InvalidateRect(graph_, nullptr, FALSE);
      return;
    }
    case WM_LBUTTONUP: {
      if (!drag_.on) return;
      const Drag drag = drag_;
      drag_.on = false;
      if (GetCapture() == graph_) ReleaseCapture();
      InvalidateRect(graph_, nullptr, FALSE);
      if (std::abs(x - drag.startX) >= metrics_->Px(kDragPixels)) {
        model_.OnZoom(TimeAt(drag.startX), TimeAt(x));
        Render();
      }
      return;
    }
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, graph_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
      }
      if (drag_.on) {
        const RECT plot = Plot(drag_.cpu);
        drag_.nowX = std::clamp<int>(x, plot.left, plot.right);
        InvalidateRect(graph_, nullptr, FALSE);
      }
      model_.OnHover(TimeAt(x));
      SetHover(model_.lblHover);
      ShowMarkerTip(x, y);
      return;
    case WM_MOUSELEAVE:
      tracking_ = false;
      ShowMarkerTip(-10000, -10000);
      return;
    default:
      return;
  }
}

bool HistoryWindow::EncodePicture(std::ostream& out) {
  RECT area{};
  GetClientRect(graph_, &area);
  if (area.right <= 0 || area.bottom <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = area.right;
  info.bmiHeader.biHeight = -area.bottom;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(graph_);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  ReleaseDC(graph_, screen);
  if (bitmap == nullptr || memory == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    return false;
  }
  // Drawn afresh, as the screen shows it without a drag under way.
  const Drag drag = drag_;
  drag_.on = false;
  HGDIOBJ old = SelectObject(memory, bitmap);
  PaintGraphs(memory, area);
  GdiFlush();
  SelectObject(memory, old);
  drag_ = drag;
  DeleteDC(memory);
  const std::optional<std::string> png = EncodePng(bitmap);
  DeleteObject(bitmap);
  if (!png) return false;
  out.write(png->data(), static_cast<std::streamsize>(png->size()));
  return static_cast<bool>(out);
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
      if (self != nullptr && self->metrics_ != nullptr && area.right > 0 && area.bottom > 0) {
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
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
      if (self != nullptr && self->metrics_ != nullptr) {
        self->OnGraphMouse(message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (self != nullptr && self->drag_.on) {
        self->drag_.on = false;
        InvalidateRect(graph, nullptr, FALSE);
      }
      return 0;
    default:
      return DefWindowProcW(graph, message, wParam, lParam);
  }
}

}  // namespace tarnwick::win32
