// The Qt view of pgmSETUP on the offscreen platform: every control of the model has its widget,
// named after it, and the user's events reach the model.
#include "pgm_setup_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>

#include "app/qt_test_app.h"
#include "app/widget_driver.h"
#include "main_window.h"
#include "process_fixture.h"

namespace tarnwick {
namespace {

class PgmSetupDialogTest : public testing::ProcessFixture {
 protected:
  std::unique_ptr<PgmSetupDialog> view;
  int renders = 0;

  void SetUp() override {
    testing::EnsureQtApplication();
    ProcessFixture::SetUp();
    WriteProgramSettings({" 1 ", "notepad", " 70 ", " 12.5 ", " 4 ", " 1 ", " 0 ", "/snd/x.wav"});
    model->OnLoad();
    dialog().Show();
    view = std::make_unique<PgmSetupDialog>(dialog(), [this] {
      ++renders;
      view->Render();
    });
    view->show();
  }

  PgmSetupModel& dialog() { return (*model->pgmSETUP()); }

  template <typename T>
  T* Widget(const char* name) {
    return testing::FindWidget<T>(view.get(), name);
  }
};

TEST_F(PgmSetupDialogTest, EveryControlShowsItsOwnState) {
  PgmSetupModel& m = dialog();
  m.pgmMonitorF.value = 0;
  m.pgmKillF.value = 1;
  m.pgmKillF.enabled = false;
  m.pgmSoundF.value = 1;
  m.pgmNameF.text = "name";
  m.pgmCPUsetF.text = "cpu";
  m.pgmMEMsetF.text = "mem";
  m.pgmAlertSetF.text = "alert";
  m.pgmFileSoundF.text = "sound";
  m.pgmFileSoundF.enabled = false;
  m.pgmSave.caption = "save caption";
  m.Label3.caption = "label three";
  view->Render();

  const struct {
    const char* name;
    const PgmSetupModel::CheckBox& box;
  } checks[] = {
      {"pgmMonitorF", m.pgmMonitorF}, {"pgmKillF", m.pgmKillF}, {"pgmSoundF", m.pgmSoundF}};
  for (const auto& c : checks) {
    SCOPED_TRACE(c.name);
    auto* widget = Widget<QCheckBox>(c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->isChecked(), c.box.value != 0);
    EXPECT_EQ(widget->isEnabled(), c.box.enabled);
    EXPECT_EQ(widget->text().toStdString(), c.box.caption);
  }
  const struct {
    const char* name;
    const PgmSetupModel::TextBox& box;
  } boxes[] = {{"pgmNameF", m.pgmNameF},
               {"pgmCPUsetF", m.pgmCPUsetF},
               {"pgmMEMsetF", m.pgmMEMsetF},
               {"pgmAlertSetF", m.pgmAlertSetF},
               {"pgmFileSoundF", m.pgmFileSoundF}};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.name);
    auto* widget = Widget<QLineEdit>(b.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->text().toStdString(), b.box.text);
    EXPECT_EQ(widget->isEnabled(), b.box.enabled);
  }
  const struct {
    const char* name;
    const Button& button;
  } buttons[] = {
      {"pgmSelectMusic", m.pgmSelectMusic}, {"pgmSave", m.pgmSave}, {"pgmCancel", m.pgmCancel}};
  for (const auto& b : buttons) {
    auto* widget = Widget<QPushButton>(b.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->text().toStdString(), b.button.caption);
  }
  const struct {
    const char* name;
    const Label& label;
  } labels[] = {{"Label1", m.Label1},
                {"Label2", m.Label2},
                {"Label3", m.Label3},
                {"Label4", m.Label4},
                {"Label5", m.Label5}};
  for (const auto& l : labels) {
    auto* widget = Widget<QLabel>(l.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->text().toStdString(), l.label.caption);
  }
  EXPECT_EQ(view->windowTitle().toStdString(), m.caption);
  EXPECT_EQ(view->geometry().topLeft(), QPoint(m.geometry.left, m.geometry.top));

  m.Label1.caption = testing::kMarkupText;
  view->Render();
  EXPECT_EQ(testing::ShownText(*Widget<QLabel>("Label1")), testing::kMarkupText);
  testing::ExpectOnlyPlainLabels(view.get());
}

TEST_F(PgmSetupDialogTest, UserEventsReachTheModel) {
  Widget<QCheckBox>("pgmMonitorF")->click();
  EXPECT_EQ(dialog().pgmMonitorF.value, 0);
  EXPECT_EQ(dialog().pgmKillF.value, 0);
  EXPECT_FALSE(Widget<QCheckBox>("pgmKillF")->isEnabled()) << "rendered after the event";
  Widget<QCheckBox>("pgmMonitorF")->click();
  Widget<QCheckBox>("pgmSoundF")->click();
  EXPECT_EQ(dialog().pgmSoundF.value, 1);

  QLineEdit* name = Widget<QLineEdit>("pgmNameF");
  name->setText(QStringLiteral("firefox (*example)"));
  dialog().pgmNameF.text = "firefox (*example)";
  QTest::mouseClick(name, Qt::LeftButton);
  EXPECT_EQ(dialog().pgmNameF.text, "");
  EXPECT_EQ(name->text(), QString());
  QTest::keyClicks(name, QStringLiteral("Calc"));
  EXPECT_EQ(dialog().pgmNameF.text, "Calc");
  QLineEdit* cpuBox = Widget<QLineEdit>("pgmCPUsetF");
  cpuBox->selectAll();
  QTest::keyClicks(cpuBox, QStringLiteral("55"));
  EXPECT_EQ(dialog().pgmCPUsetF.text, "55");

  ui.pickResult = "/snd/bell.wav";
  Widget<QPushButton>("pgmSelectMusic")->click();
  EXPECT_EQ(Widget<QLineEdit>("pgmFileSoundF")->text(), QStringLiteral("/snd/bell.wav"));

  Widget<QPushButton>("pgmSave")->click();
  EXPECT_EQ(dialog().state(), FormState::NotLoaded);
  EXPECT_EQ(control().programSettings().pgmNameF, "calc");
  EXPECT_EQ(control().programSettings().pgmCPUsetF, 55);
  EXPECT_EQ(control().programSettings().pgmFileSoundF, "/snd/bell.wav");
}

TEST_F(PgmSetupDialogTest, MainWindowShowsTheViewWhileTheModelIsShownAndClosingCancels) {
  view.reset();
  dialog().Unload();
  MainWindow window(*model);
  window.Render();
  EXPECT_EQ(window.pgmSetupDialog(), nullptr);
  window.findChild<QAction*>(QStringLiteral("mPGMSetup"))->trigger();
  ASSERT_NE(window.pgmSetupDialog(), nullptr);
  EXPECT_TRUE(window.pgmSetupDialog()->isVisible());
  EXPECT_EQ(window.pgmSetupDialog()->findChild<QLineEdit*>(QStringLiteral("pgmNameF"))->text(),
            QStringLiteral("notepad"));

  window.pgmSetupDialog()->close();
  EXPECT_EQ(dialog().state(), FormState::NotLoaded);
  EXPECT_EQ(window.pgmSetupDialog(), nullptr);
}

// Enter in the name box is no click on the sound file's button; Escape is Cancel, and the dialog
// stays closed at the next render.
TEST_F(PgmSetupDialogTest, EnterInTheNameBoxPicksNoFileAndEscapeCancels) {
  view.reset();
  dialog().Unload();
  MainWindow window(*model);
  window.Render();
  window.findChild<QAction*>(QStringLiteral("mPGMSetup"))->trigger();
  ASSERT_NE(window.pgmSetupDialog(), nullptr);
  QLineEdit* name = window.pgmSetupDialog()->findChild<QLineEdit*>(QStringLiteral("pgmNameF"));
  ASSERT_NE(name, nullptr);
  name->setFocus();
  ui.pickResult = "/snd/bell.wav";

  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(name, key);
  EXPECT_TRUE(ui.picks.empty());
  EXPECT_EQ(dialog().state(), FormState::Shown);
  EXPECT_EQ(dialog().pgmFileSoundF.text, "/snd/x.wav");

  QTest::keyClick(name, Qt::Key_Escape);
  EXPECT_EQ(dialog().state(), FormState::NotLoaded);
  window.Render();
  EXPECT_EQ(window.pgmSetupDialog(), nullptr);
  EXPECT_EQ(control().programSettings().pgmNameF, "notepad");
}

}  // namespace
}  // namespace tarnwick
