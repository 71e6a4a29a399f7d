// The main window on a real X display under a window manager without a system tray
// (with_window_manager.sh runs this under xvfb-run and openbox): minimising must leave the window
// iconified, where the window manager can give it back, never hidden with no way back.
#include <gtest/gtest.h>

#include <QSystemTrayIcon>
#include <QTest>
#include <memory>

#include "main_window.h"
#include "forms/main_window_model.h"
#include "qt_test_app.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

class WindowManagerTest : public ModelFixture {
 protected:
  std::unique_ptr<MainWindow> window;

  void SetUp() override {
    EnsureQtApplication();
    ModelFixture::SetUp();
    model->OnLoad();
    window = std::make_unique<MainWindow>(*model);
    window->Render();
  }
};

TEST_F(WindowManagerTest, WithoutATrayMinimisingIconifiesAndTheWindowComesBack) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "this desktop has a tray";
  EXPECT_EQ(window->tray(), nullptr);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

  // As the window manager's minimise button does: the window manager iconifies the window.
  window->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->windowState == WindowState::Minimized; }, 5000));
  QTest::qWait(200);
  EXPECT_TRUE(model->visible);
  EXPECT_TRUE(window->isVisible()) << "the window was withdrawn: nothing could bring it back";
  EXPECT_TRUE(window->isMinimized());

  // As a task bar or the window manager's window list does.
  window->showNormal();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->windowState == WindowState::Normal; }, 5000));
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_FALSE(window->isMinimized());
  EXPECT_FALSE(model->mStart.visible);
}

}  // namespace
}  // namespace tarnwick::testing
