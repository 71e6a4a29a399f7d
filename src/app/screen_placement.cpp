#include "screen_placement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tarnwick {

QScreen* ScreenPlacement::OpeningScreen() {
  if (QScreen* under = QGuiApplication::screenAt(QCursor::pos())) return under;
  return QGuiApplication::primaryScreen();
}

void ScreenPlacement::Apply(QWidget& window) {
  QScreen* screen = OpeningScreen();
  if (screen == nullptr) {
    window.resize(preferred_);
    return;
  }
  const QRect room = screen->availableGeometry();
  const QSize most(static_cast<int>(room.width() * kMostScreenShare),
                   static_cast<int>(room.height() * kMostScreenShare));
  QRect place;
  if (const auto kept = places_.find(screen->name()); kept != places_.end()) {
    place = kept->second;
  } else {
    place = QRect(QPoint(0, 0), preferred_);
    place.moveCenter(room.center());
  }
  // Never larger than the share of the screen, nor smaller than the window can be laid out in
  // where the screen has room for that.
  const QSize least = window.minimumSizeHint().boundedTo(most);
  place.setSize(place.size().boundedTo(most).expandedTo(least));
  // Wholly on the screen, even when it has shrunk since.
  place.moveLeft(std::clamp(place.left(), room.left(), room.right() - place.width() + 1));
  place.moveTop(std::clamp(place.top(), room.top(), room.bottom() - place.height() + 1));
  window.setScreen(screen);
  window.resize(place.size());
  window.move(place.topLeft());
}

void ScreenPlacement::Remember(const QWidget& window) {
  if (const QScreen* screen = window.screen()) {
    places_[screen->name()] = QRect(window.pos(), window.size());
  }
}

}  // namespace tarnwick
