// Desktop notifications: a note for the tray when an alert goes out or a process is terminated
// while the main window is out of sight, its text from the engine's results, and the File menu's
// choice stored in a file of its own beside setting.ini.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "domain/history_time.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

class DesktopNotificationsTest : public ModelFixture {
 protected:
  RecordingAlertSender sender;

  DesktopNotifications& Notes() { return model->notifications(); }
  std::string ChoicePath() const { return system.programFolder + "/notifications.ini"; }

  // Three samples over the CPU threshold: one alert, its top process firefox with 40%.
  void RaiseCpuAlert() {
    engine->SetAlertSender(&sender);
    engine->session.loggedIn = true;
    engine->settings.Enable_alert = 1;
    engine->settings.smsPhone = "+15550100";
    for (int i = 0; i < 3; ++i) Cycle(93, 50);
  }
};

struct WindowCase {
  const char* name;
  std::function<void(MainWindowModel&)> place;
  bool noted;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
  *os << c.name;
}

const WindowCase kWindowCases[] = {
    {"ShownWindowGetsNoNote", [](MainWindowModel&) {}, false},
    {"WindowInTheTrayGetsOne",
     [](MainWindowModel& m) {
       m.trayShown = true;
       m.OnResize(WindowState::Minimized);
     },
     true},
    {"MinimisedWindowWithoutTrayGetsOne",
     [](MainWindowModel& m) {
       m.trayShown = false;
       m.OnResize(WindowState::Minimized);
     },
     true},
};

class NotificationWindowTest : public DesktopNotificationsTest,
                               public ::testing::WithParamInterface<WindowCase> {};

TEST_P(NotificationWindowTest, AnAlertIsNotedOnlyWhileTheWindowIsOutOfSight) {
  Load();
  GetParam().place(*model);
  RaiseCpuAlert();
  ASSERT_EQ(Notes().pending.has_value(), GetParam().noted);
  if (!GetParam().noted) return;
  const DesktopNotification& note = *Notes().pending;
  EXPECT_EQ(note.title, "Tarnwick alert");
  EXPECT_EQ(note.text,
            "12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times).TOP1 : firefox 40% "
            "@10:15:07 *firefox(3)\nTop process: firefox 40%");
  EXPECT_EQ(note.kind, HistoryEventKind::AlertRaised);
  // The alert's own time, so that the History window finds its event.
  EXPECT_EQ(note.t, ToHistorySeconds(LocalTime{2026, 12, 4, 10, 15, 17}));

  Notes().OnShown();
  EXPECT_FALSE(Notes().pending);
  ASSERT_TRUE(Notes().OnClick());
  EXPECT_EQ(Notes().OnClick()->t, note.t);
}

INSTANTIATE_TEST_SUITE_P(Windows, NotificationWindowTest, ::testing::ValuesIn(kWindowCases),
                         [](const ::testing::TestParamInfo<WindowCase>& p) {
                           return p.param.name;
                         });

TEST_F(DesktopNotificationsTest, TerminationsAreNotedUnlessTheAlertsNoteNamesThem) {
  Load();
  model->visible = false;
  TerminationResult reported;
  reported.name = "java";
  reported.pid = 4242;
  reported.terminated = true;
  reported.line = "java was killed\r\nsecond line";
  Notes().OnTermination(reported);
  ASSERT_TRUE(Notes().pending);
  EXPECT_EQ(Notes().pending->title, "Tarnwick terminated a process");
  EXPECT_EQ(Notes().pending->text, "java was killed\nTop process: java (pid 4242)");
  EXPECT_EQ(Notes().pending->kind, HistoryEventKind::ProcessTerminated);
  Notes().OnShown();

  AlertResult alert;
  alert.message = "CPU alert";
  alert.top = {"java", 4242, 0, 87.6};
  alert.termination = TerminationOutcome::Failed;
  alert.killedName = "java";
  alert.killedPid = 4242;
  Notes().OnAlert(alert);
  TerminationResult inTheAlertsLine = reported;
  inTheAlertsLine.line.clear();
  inTheAlertsLine.terminated = false;
  Notes().OnTermination(inTheAlertsLine);
  ASSERT_TRUE(Notes().pending);
  EXPECT_EQ(Notes().pending->text,
            "CPU alert\nTop process: java 88%\nNot terminated: java (pid 4242)");
}

TEST_F(DesktopNotificationsTest, TheMenuChoiceIsStoredBesideTheSettingsAndRead) {
  Load();
  const std::string settingBefore = ReadFile(system.programFolder + "/setting.ini");
  EXPECT_TRUE(model->mNotify.checkable);
  EXPECT_TRUE(model->mNotify.checked) << "on without a file";

  model->OnMNotifyClick();

  EXPECT_FALSE(model->mNotify.checked);
  EXPECT_EQ(ReadFile(ChoicePath()), "Notifications=0\r\n");
  EXPECT_EQ(ReadFile(system.programFolder + "/setting.ini"), settingBefore);
  model->visible = false;
  RaiseCpuAlert();
  EXPECT_FALSE(Notes().pending) << "off";

  // A new start reads the choice.
  Rebuild([](DeskDeps&) {});
  model->OnLoad();
  EXPECT_FALSE(model->mNotify.checked);
  EXPECT_FALSE(Notes().On());
  model->OnMNotifyClick();
  EXPECT_TRUE(Notes().On());
  EXPECT_EQ(ReadFile(ChoicePath()), "Notifications=1\r\n");
}

TEST_F(DesktopNotificationsTest, AChoiceThatCannotBeStoredChangesNothingAndSaysWhy) {
  Load();
  files.replaceFails[ChoicePath()] = "Read-only file system";
  ui.messages.clear();
  model->OnMNotifyClick();
  EXPECT_TRUE(model->mNotify.checked);
  EXPECT_TRUE(Notes().On());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "The notifications choice could not be stored: Read-only file system");
}

TEST_F(DesktopNotificationsTest, AnUnreadableChoiceLeavesThemOnAndTheLogSaysWhy) {
  files.unreadable[ChoicePath()] = "Permission denied";
  model->OnLoad();
  EXPECT_TRUE(Notes().On());
  bool logged = false;
  for (const std::string& line : engine->log().PaneLines()) {
    logged = logged || line.ends_with(
                           "Cannot read the notifications choice, they stay on: "
                           "Permission denied");
  }
  EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace tarnwick::testing
