// Small pieces the settings dialogs' views share: bringing a widget in line with a control of the
// model without disturbing what the user is doing in it, and hooking events of a widget.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <utility>

#include "controls/dialog_controls.h"
#include "qt_render.h"

namespace tarnwick {

// The widget with its objectName set to the control's name, which the tests find it by.
template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A fixed caption.
inline QLabel* Text(const char* text, QWidget* parent) {
  return PlainLabel(QString::fromUtf8(text), parent);
}

// Sets the text only when it differs, so the cursor of a box being typed in stays where it is.
inline void ApplyText(const std::string& text, bool enabled, QLineEdit& box) {
  const QString shown = ToQString(text);
  if (box.text() != shown) box.setText(shown);
  box.setEnabled(enabled);
}

inline void ApplyText(const std::string& text, bool enabled, QPlainTextEdit& box) {
  const QString shown = ToQString(text);
  if (box.toPlainText() != shown) box.setPlainText(shown);
  box.setEnabled(enabled);
}

inline void ApplyCheck(bool checked, bool enabled, QAbstractButton& button) {
  if (button.isChecked() != checked) button.setChecked(checked);
  button.setEnabled(enabled);
}

inline void ApplyCaption(const std::string& caption, bool enabled, QLabel& label) {
  if (label.textFormat() != Qt::PlainText) label.setTextFormat(Qt::PlainText);
  const QString shown = ToQString(caption);
  if (label.text() != shown) label.setText(shown);
  label.setEnabled(enabled);
}

inline void ApplyCombo(const ComboBox& combo, QComboBox& box) {
  bool same = box.count() == static_cast<int>(combo.items.size());
  for (int i = 0; same && i < box.count(); ++i) {
    same = box.itemText(i) == ToQString(combo.items[static_cast<size_t>(i)]);
  }
  if (!same) {
    box.clear();
    for (const std::string& item : combo.items) box.addItem(ToQString(item));
  }
  if (box.currentIndex() != combo.listIndex) box.setCurrentIndex(combo.listIndex);
  box.setEnabled(combo.enabled);
}

// The dialogs' password boxes show "*" for every character, whatever the style's own mask.
inline void MaskWithStars(QLineEdit& box) {
  box.setEchoMode(QLineEdit::Password);
  box.setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

// Calls `handler` for every event of the watched widgets; the event goes on to the widget unless
// the handler returns true.
class EventHook final : public QObject {
 public:
  using Handler = std::function<bool(QObject* watched, QEvent* event)>;
  EventHook(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {}

  void Watch(QObject& widget) { widget.installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override { return handler_(watched, event); }

 private:
  Handler handler_;
};

}  // namespace tarnwick
