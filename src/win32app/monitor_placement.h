// Where the History and Processes windows open: on the monitor under the pointer, at most 90 % of
// its work area (the screen less the taskbar), and where the user last left them on that monitor,
// kept across runs by WindowPlaces under the monitor's device name (\\.\DISPLAY1 and the like).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "forms/window_places.h"

namespace tarnwick::win32 {

class MonitorPlacement {
 public:
  // `window` names the window in the places file.
  explicit MonitorPlacement(std::string_view window) : window_(window) {}

  // From then on places come from and go to `places` (which outlives this), saved each time.
  void Use(WindowPlaces* places) { places_ = places; }

  // Before the window is shown: its place on the monitor under the pointer, else `preferred`
  // centred; never smaller than `least` where the work area has room. Sizes in the window's
  // physical pixels, borders included.
  void Apply(HWND window, SIZE preferred, SIZE least);
  // As the window is hidden or the program ends. A minimised or maximised window keeps the
  // place it had before.
  void Remember(HWND window);

 private:
  std::string window_;
  WindowPlaces* places_ = nullptr;
};

}  // namespace tarnwick::win32
