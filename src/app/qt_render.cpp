#include "qt_render.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPalette>
#include <QTextDocument>
#include <QTimer>

#include "theme_colours.h"

namespace tarnwick {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString PlainToolTip(const QString& text) {
  if (!Qt::mightBeRichText(text)) return text;
  return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

std::optional<QColor> FormColor(int bbggrr) {
  if (bbggrr < 0) return std::nullopt;
  return QColor(bbggrr & 0xFF, (bbggrr >> 8) & 0xFF, (bbggrr >> 16) & 0xFF);
}

QLabel* PlainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

void ApplyLabel(const Label& label, QLabel& widget) {
  if (widget.textFormat() != Qt::PlainText) widget.setTextFormat(Qt::PlainText);
  const QString text = ToQString(label.caption);
  if (widget.text() != text) widget.setText(text);
  // The forms' black is the theme's text colour; their other colours are kept readable on the
  // theme's window colour.
  const QWidget* parent = widget.parentWidget();
  const QPalette inherited = parent != nullptr ? parent->palette() : QApplication::palette(&widget);
  QColor fore = inherited.color(QPalette::WindowText);
  if (label.foreColor != kColorBlack) {
    if (const std::optional<QColor> colour = FormColor(label.foreColor)) {
      fore = ReadableOn(*colour, inherited.color(QPalette::Window));
    }
  }
  if (widget.palette().color(QPalette::WindowText) != fore) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, fore);
    widget.setPalette(palette);
  }
  widget.setEnabled(label.enabled);
  widget.setVisible(label.visible);
}

void ApplyButton(const Button& button, const QPalette& defaultPalette, QAbstractButton& widget) {
  const QString text = ToQString(button.caption);
  if (widget.text() != text) widget.setText(text);
  QPalette palette = defaultPalette;
  if (const std::optional<QColor> back = FormColor(button.backColor)) {
    palette.setColor(QPalette::Button, *back);
    palette.setColor(QPalette::ButtonText, ButtonTextOn(defaultPalette, *back));
  }
  if (widget.palette() != palette) widget.setPalette(palette);
  widget.setEnabled(button.enabled);
}

void ApplyMenuItem(const MenuItem& item, QAction& action) {
  const QString text = ToQString(item.caption);
  if (action.text() != text) action.setText(text);
  action.setVisible(item.visible);
  action.setEnabled(item.enabled);
  if (action.isCheckable() != item.checkable) action.setCheckable(item.checkable);
  if (item.checkable && action.isChecked() != item.checked) action.setChecked(item.checked);
}

void SyncTimer(const Timer& timer, QTimer& real) {
  if (!timer.enabled || timer.intervalMs <= 0) {
    if (real.isActive()) real.stop();
    return;
  }
  if (real.interval() != timer.intervalMs) real.setInterval(timer.intervalMs);
  if (!real.isActive()) real.start();
}

const QIcon& IconCache::Get(const std::string& path) {
  auto found = icons_.find(path);
  if (found == icons_.end()) {
    QIcon icon;
    if (!path.empty() && QFileInfo::exists(ToQString(path))) icon = QIcon(ToQString(path));
    found = icons_.emplace(path, icon).first;
  }
  return found->second;
}

}  // namespace tarnwick
