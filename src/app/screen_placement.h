// Where the History and Processes windows open: on the screen under the pointer, at most 90 % of
// its available width and height, and where the user last left them on that screen (kept across
// runs by WindowPlaces once the program hands it one).
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <map>
#include <string>
#include <string_view>

#include "forms/window_places.h"

class QScreen;
class QWidget;

namespace tarnwick {

class ScreenPlacement {
 public:
  // `preferred` is the size a window opens at on a screen with room for it; `window` names it in
  // the places file.
  ScreenPlacement(QSize preferred, std::string_view window)
      : preferred_(preferred), window_(window) {}

  // From then on places come from and go to `places` (which outlives this), saved each time.
  void Use(WindowPlaces* places) { places_ = places; }

  // Before the window is shown: the place it had on that screen, or its preferred size centred,
  // within the share of the screen's available area.
  void Apply(QWidget& window);
  // As the window is hidden or the program ends: remembers its place for its screen.
  void Remember(const QWidget& window);

 private:
  static QScreen* OpeningScreen();

  QSize preferred_;
  std::string window_;
  WindowPlaces* places_ = nullptr;
  std::map<QString, PlaceRect> runPlaces_;  // by screen name, while no places file is in use
};

}  // namespace tarnwick
