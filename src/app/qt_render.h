// Small bridges from the form controls of the core to Qt widgets, shared by the views.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <map>
#include <optional>
#include <string>

#include "controls/form_controls.h"

class QAbstractButton;
class QAction;
class QLabel;
class QTimer;
class QWidget;

namespace tarnwick {

QString ToQString(const std::string& text);

// Text for a tooltip. Qt takes a tooltip that looks like markup for rich text; such a text comes
// back escaped, so that it shows the characters it is made of, blanks included.
QString PlainToolTip(const QString& text);

// A form colour (0x00BBGGRR) as a QColor; nullopt for -1, the platform's default.
std::optional<QColor> FormColor(int bbggrr);

// A label that shows its text as the characters it is made of. A QLabel takes text that looks
// like markup for rich text (bold, links, images); what the labels show may come from outside (a
// service's reply, a process or program name), so no label of the program does that.
QLabel* PlainLabel(const QString& text, QWidget* parent);
// Caption, fore colour, visibility and enabled state of a label; the caption as plain text.
void ApplyLabel(const Label& label, QLabel& widget);
// Caption, back colour and enabled state of a command button. `defaultPalette` is what the
// button goes back to for the platform's default colour.
void ApplyButton(const Button& button, const QPalette& defaultPalette, QAbstractButton& widget);
// Caption ("&" marks the mnemonic, as in Qt), visibility and enabled state of a menu entry.
void ApplyMenuItem(const MenuItem& item, QAction& action);

// Brings a real timer in line with the model's timer. A running timer keeps running untouched,
// so its phase survives renders; it restarts only when the interval changes. An interval of 0 or
// less stops the timer, as such a timer never fires on the forms.
void SyncTimer(const Timer& timer, QTimer& real);

// Icons loaded from files, each path read once. A missing or unreadable file gives a null icon.
class IconCache {
 public:
  const QIcon& Get(const std::string& path);

 private:
  std::map<std::string, QIcon> icons_;
};

}  // namespace tarnwick
