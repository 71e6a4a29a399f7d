// The tray's notes in Win32: the main window shows the model's pending note as a balloon of its
// tray entry (once, cut to the shell's sizes), a click on the balloon asks for the History window
// on the note's event, and File > Show notifications turns them off and is stored beside the
// settings. When a note is due is the model's decision (tests/unit/desktop_notifications_test).
#include <gtest/gtest.h>

#include <string>

#include "forms/desktop_notifications.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

namespace id = win32::id;

struct NoteCase {
  const char* name;
  DesktopNotification note;
  std::wstring title;  // as the shell took them
  std::wstring text;
};

TEST_F(Win32ViewTest, ThePendingNoteShowsOnTheTrayAndItsClickOpensTheHistoryOnItsEvent) {
  const std::string longLine(300, 'x');
  const NoteCase cases[] = {
      {"an alert",
       {"Tarnwick alert", "CPU 93% exceed 75%\nTop process: firefox 40%", 1000,
        HistoryEventKind::AlertRaised},
       L"Tarnwick alert",
       L"CPU 93% exceed 75%\nTop process: firefox 40%"},
      {"a termination with a long line, cut to 255 characters",
       {"Tarnwick terminated a process", longLine, 2000, HistoryEventKind::ProcessTerminated},
       L"Tarnwick terminated a process",
       std::wstring(255, L'x')},
  };
  Start();
  ASSERT_TRUE(window->tray().Shown()) << "the desktop shows no tray entry";
  std::vector<std::pair<int64_t, HistoryEventKind>> opened;
  window->SetNoteCommand(
      [&opened](int64_t t, HistoryEventKind kind) { opened.emplace_back(t, kind); });
  for (const NoteCase& c : cases) {
    SCOPED_TRACE(c.name);
    opened.clear();
    model->notifications().pending = c.note;
    window->Render();
    EXPECT_FALSE(model->notifications().pending) << "a note is shown once";
    EXPECT_EQ(window->tray().LastNoteTitle(), c.title);
    EXPECT_EQ(window->tray().LastNoteText(), c.text);

    SendMessageW(Main(), win32::kTrayMessage, 1, NIN_BALLOONUSERCLICK);
    Pump();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, c.note.t);
    EXPECT_EQ(opened[0].second, c.note.kind);
  }
}

TEST_F(Win32ViewTest, FileShowNotificationsTurnsThemOffAndIsStored) {
  Start();
  const auto state = [this] { return GetMenuState(window->fileMenu(), id::mNotify, MF_BYCOMMAND); };
  ASSERT_NE(state(), 0xFFFFFFFF) << "the item is in the File menu";
  EXPECT_NE(state() & MF_CHECKED, 0u) << "on until turned off";
  Menu(id::mNotify);
  EXPECT_EQ(state() & MF_CHECKED, 0u);
  EXPECT_FALSE(model->notifications().On());
  EXPECT_EQ(ReadProgramFile(std::string(kNotificationsFileName)),
            std::string(kNotificationsOffLine) + "\r\n");
  Menu(id::mNotify);
  EXPECT_NE(state() & MF_CHECKED, 0u);
  EXPECT_TRUE(model->notifications().On());
}

}  // namespace
}  // namespace tarnwick::testing
