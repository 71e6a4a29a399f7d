// Colours that follow the desktop's theme: text from the palette, and the program's signal
// colours (the alert red, the marked row) made readable on the background they are drawn on.
#pragma once

#include <QColor>
#include <QPalette>

namespace tarnwick {

// What text needs against its background: the WCAG contrast ratio for normal text.
inline constexpr double kLeastContrast = 4.5;

// The WCAG relative luminance of a colour (0 black to 1 white).
double RelativeLuminance(const QColor& colour);
// The WCAG contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
// `wanted` with its hue kept, made lighter or darker (whichever the background leaves room for)
// until it has kLeastContrast against `background`.
QColor ReadableOn(const QColor& wanted, const QColor& background);

// The alert red for text on the palette's base (lists) or window (labels) colour.
QColor AlertTextColour(const QPalette& palette, QPalette::ColorRole background);
// The background of a marked list row: the base colour tinted red, as far as the palette's text
// stays readable on it.
QColor MarkedRowColour(const QPalette& palette);
// The text colour for a button whose face is `face`: the palette's button text when it is
// readable there, else whichever of the palette's text and base colours is more so.
QColor ButtonTextOn(const QPalette& palette, const QColor& face);

}  // namespace tarnwick
