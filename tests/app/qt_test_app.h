// The one QApplication of a test executable, created on first use on Qt's offscreen platform
// unless the environment names another.
#pragma once

namespace tarnwick::testing {

void EnsureQtApplication();

}  // namespace tarnwick::testing
