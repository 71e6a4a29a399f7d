#include "theme_colours.h"

#include <cmath>

namespace tarnwick {
namespace {

// The signal red of the forms; ReadableOn moves it to what the background needs.
const QColor kAlertRed(0xd6, 0x27, 0x28);
// How much red a marked row may take at most, in parts of the whole.
constexpr double kMostRowTint = 0.3;
constexpr int kTintSteps = 30;

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor Mix(const QColor& a, const QColor& b, double part) {
  auto channel = [part](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * part)); };
  return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                channel(a.blue(), b.blue()));
}

}  // namespace

double RelativeLuminance(const QColor& colour) {
  return 0.2126 * Linear(colour.redF()) + 0.7152 * Linear(colour.greenF()) +
         0.0722 * Linear(colour.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& wanted, const QColor& background) {
  if (ContrastRatio(wanted, background) >= kLeastContrast) return wanted;
  // Towards black on a light background, towards white on a dark one, in small steps so the hue
  // stays recognisable.
  const QColor end = RelativeLuminance(background) > 0.18 ? QColor(0, 0, 0) : QColor(255, 255, 255);
  for (int step = 1; step <= kTintSteps; ++step) {
    const QColor tried = Mix(wanted, end, static_cast<double>(step) / kTintSteps);
    if (ContrastRatio(tried, background) >= kLeastContrast) return tried;
  }
  return end;
}

QColor AlertTextColour(const QPalette& palette, QPalette::ColorRole background) {
  return ReadableOn(kAlertRed, palette.color(background));
}

QColor MarkedRowColour(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor text = palette.color(QPalette::Text);
  for (int step = kTintSteps; step > 0; --step) {
    const QColor tried = Mix(base, kAlertRed, kMostRowTint * step / kTintSteps);
    if (ContrastRatio(text, tried) >= kLeastContrast) return tried;
  }
  return base;
}

QColor ButtonTextOn(const QPalette& palette, const QColor& face) {
  const QColor buttonText = palette.color(QPalette::ButtonText);
  if (ContrastRatio(buttonText, face) >= kLeastContrast) return buttonText;
  const QColor text = palette.color(QPalette::Text);
  const QColor base = palette.color(QPalette::Base);
  return ContrastRatio(text, face) >= ContrastRatio(base, face) ? text : base;
}

}  // namespace tarnwick
