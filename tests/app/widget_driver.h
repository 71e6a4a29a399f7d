// Driving Qt widgets the way a user does, for the offscreen view tests.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QWidget>

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

}  // namespace tarnwick::testing
