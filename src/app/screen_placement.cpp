#include "screen_placement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <optional>

namespace tarnwick {
namespace {

PlaceRect FromQt(const QRect& r) {
  return {r.left(), r.top(), r.width(), r.height()};
}

}  // namespace

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
  std::optional<PlaceRect> stored;
  if (places_ != nullptr) {
    stored = places_->Find(window_, screen->name().toStdString());
  } else if (const auto kept = runPlaces_.find(screen->name()); kept != runPlaces_.end()) {
    stored = kept->second;
  }
  const QSize least = window.minimumSizeHint();
  const PlaceRect place = FitPlace(stored, preferred_.width(), preferred_.height(), least.width(),
                                   least.height(), FromQt(screen->availableGeometry()));
  window.setScreen(screen);
  window.resize(place.width, place.height);
  window.move(place.left, place.top);
}

void ScreenPlacement::Remember(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  const PlaceRect place = FromQt(QRect(window.pos(), window.size()));
  if (places_ == nullptr) {
    runPlaces_[screen->name()] = place;
    return;
  }
  places_->Remember(window_, screen->name().toStdString(), place);
  // A failure is in the log; the place still holds for this run.
  places_->Save();
}

}  // namespace tarnwick
