#include "monitor_placement.h"

#include <optional>

#include "platform/windows/wide_text.h"

namespace tarnwick::win32 {
namespace {

struct Monitor {
  std::string name;
  PlaceRect work;
};

std::optional<Monitor> MonitorOf(HMONITOR handle) {
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  if (handle == nullptr || !GetMonitorInfoW(handle, &info)) return std::nullopt;
  const RECT& r = info.rcWork;
  return Monitor{win::Utf8(info.szDevice), {r.left, r.top, r.right - r.left, r.bottom - r.top}};
}

}  // namespace

void MonitorPlacement::Apply(HWND window, SIZE preferred, SIZE least) {
  POINT pointer{};
  GetCursorPos(&pointer);
  const std::optional<Monitor> monitor =
      MonitorOf(MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY));
  if (!monitor) return;
  std::optional<PlaceRect> stored;
  if (places_ != nullptr) stored = places_->Find(window_, monitor->name);
  const PlaceRect place =
      FitPlace(stored, preferred.cx, preferred.cy, least.cx, least.cy, monitor->work);
  SetWindowPos(window, nullptr, place.left, place.top, place.width, place.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void MonitorPlacement::Remember(HWND window) {
  if (places_ == nullptr || IsIconic(window) || IsZoomed(window)) return;
  const std::optional<Monitor> monitor =
      MonitorOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
  RECT r{};
  if (!monitor || !GetWindowRect(window, &r)) return;
  places_->Remember(window_, monitor->name, {r.left, r.top, r.right - r.left, r.bottom - r.top});
  // A failure is in the log; the place still holds for this run.
  places_->Save();
}

}  // namespace tarnwick::win32
