#include "qt_test_app.h"

#include <QApplication>
#include <cstdlib>

namespace tarnwick::testing {

void EnsureQtApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tarnwick_test";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends: Qt objects of any test may still refer to it.
  new QApplication(argc, argv);
}

}  // namespace tarnwick::testing
