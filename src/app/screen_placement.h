// Where the History and Processes windows open: on the screen under the pointer, at most 90 % of
// its available width and height, and where the user last left them on that screen.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <map>

class QScreen;
class QWidget;

namespace tarnwick {

// The share of a screen's available width and height a window may take when it opens.
inline constexpr double kMostScreenShare = 0.9;

class ScreenPlacement {
 public:
  // `preferred` is the size a window opens at on a screen with room for it.
  explicit ScreenPlacement(QSize preferred) : preferred_(preferred) {}

  // Before the window is shown: the place it had on that screen, or its preferred size centred,
  // within the share of the screen's available area.
  void Apply(QWidget& window);
  // As the window is hidden: remembers its place for its screen (for this run of the program).
  void Remember(const QWidget& window);

 private:
  static QScreen* OpeningScreen();

  QSize preferred_;
  std::map<QString, QRect> places_;  // by screen name
};

}  // namespace tarnwick
