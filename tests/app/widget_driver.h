// Driving Qt widgets the way a user does, for the offscreen view tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QTextDocument>
#include <QWidget>
#include <string>

namespace tarnwick::testing {

// The child of `root` whose objectName is `name` (the control's name); a test failure when
// there is none.
template <typename T>
T* FindWidget(QWidget* root, const char* name) {
  T* widget = root == nullptr ? nullptr : root->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

// Clicks a check box or option button on its indicator: a box wider than its caption does not
// take clicks in its empty part.
inline void Tick(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// Replaces the box's text by typing, as a user would.
inline void TypeInto(QLineEdit* box, const QString& text) {
  box->selectAll();
  if (text.isEmpty()) {
    QTest::keyClick(box, Qt::Key_Backspace);
  } else {
    QTest::keyClicks(box, text);
  }
}

// The text a label shows: its text as it is, or rendered when the label takes it for rich text.
inline std::string ShownText(const QLabel& label) {
  const Qt::TextFormat format = label.textFormat();
  const bool rich =
      format == Qt::RichText || (format != Qt::PlainText && Qt::mightBeRichText(label.text()));
  if (!rich) return label.text().toStdString();
  QTextDocument rendered;
  rendered.setHtml(label.text());
  return rendered.toPlainText().toStdString();
}

// Text from outside as a hostile server, program or process name would have it: markup, an
// entity, a link.
inline constexpr char kMarkupText[] =
    "<b>bold</b> &amp; <a href=\"http://x.example\">link</a> <img src=\"/etc/x\">";

// Every label under `root` leaves its text plain, whatever a later text holds.
inline void ExpectOnlyPlainLabels(QWidget* root) {
  for (const QLabel* label : root->findChildren<QLabel*>()) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText)
        << label->objectName().toStdString() << ": " << label->text().toStdString();
  }
}

}  // namespace tarnwick::testing
