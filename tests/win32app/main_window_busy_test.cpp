// The Win32 main window under load: a menu opened with the mouse stays open while the cycles over
// the threshold show their busy look (a disabled owner would cancel it), and the window never
// shrinks below its laid-out content.
#include <gtest/gtest.h>

#include <string>

#include "settings/settings_store.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr int kCyclesWithMenuOpen = 5;
constexpr ULONGLONG kMenuWatchLimitMs = 20000;

// The window class of an open pop-up menu (a menu bar's drop-down or TrackPopupMenu's).
HWND OpenMenu() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

// What a watch saw from inside the menu's own message loop, where the cycles run meanwhile.
struct MenuWatch {
  ULONGLONG deadline = 0;
  bool seenOpen = false;
  bool closedEarly = false;
  int busyWithMenuOpen = 0;
  // The busy look as the scan found it: counts of scans that found it wrong.
  int windowDisabled = 0;
  int commandEnabled = 0;
  int logEnabled = 0;
  int wrongCaption = 0;
  int noWaitCursor = 0;
};
MenuWatch* watch = nullptr;

// Every 50 ms inside the menu loop: the menu must stay open until five cycles have run with it
// open; then it closes as a click elsewhere would.
void CALLBACK WatchMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  if (watch == nullptr) return;
  const bool open = OpenMenu() != nullptr;
  if (open) watch->seenOpen = true;
  const bool done = watch->busyWithMenuOpen >= kCyclesWithMenuOpen;
  if ((watch->seenOpen && !open) || done || GetTickCount64() > watch->deadline) {
    watch->closedEarly = watch->seenOpen && !open && !done;
    KillTimer(nullptr, timer);
    EndMenu();
  }
}

// A left click at a point of the screen, through the input queue as the mouse gives it.
void MouseClick(POINT at) {
  SetCursorPos(at.x, at.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, input, sizeof(INPUT));
}

class Win32BusyTest : public Win32ViewTest {
 protected:
  // Every cycle is over the CPU threshold, one a second.
  void StartOverTheThreshold() {
    Settings s;
    s.TimeInterval = "1";
    s.cpu_High = "50";
    s.mem_High = "101";
    s.num_High = "100";
    WriteFile(system.programFolder + "/setting.ini", FormatSettingFile(s));
    for (int i = 0; i < 60; ++i) cpu.busy.push_back(93);
    Start();
    ui.onShowNow = [this] { SeeBusyLook(); };
  }

  // The busy look goes on the screen before the scan: what the scan finds there.
  void SeeBusyLook() {
    window->Render();
    if (watch == nullptr || model->enabled) return;
    if (OpenMenu() != nullptr) ++watch->busyWithMenuOpen;
    if (!IsWindowEnabled(Main())) ++watch->windowDisabled;
    if (Enabled(Main(), win32::id::Command1)) ++watch->commandEnabled;
    if (Enabled(Main(), win32::id::txtLog)) ++watch->logEnabled;
    if (win32::WindowTextUtf8(Main()) != kBusyCaption) ++watch->wrongCaption;
    SendMessageW(Main(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Main()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    if (GetCursor() != LoadCursorW(nullptr, IDC_WAIT)) ++watch->noWaitCursor;
  }
};

enum class OpenBy { MenuBarClick, TrayRightClick };

struct MenuCase {
  const char* name;
  OpenBy how;
};

TEST_F(Win32BusyTest, AMenuOpenedWithTheMouseStaysOpenAcrossCyclesOverTheThreshold) {
  const MenuCase cases[] = {
      {"the File menu of the menu bar, clicked", OpenBy::MenuBarClick},
      {"the tray menu, right-clicked", OpenBy::TrayRightClick},
  };
  StartOverTheThreshold();
  ASSERT_TRUE(PumpUntil([this] { return Text(Main(), win32::id::lblCPU_count) != ""; }, 5000))
      << "no cycle within 5 s of a 1 s interval";
  SetWindowPos(Main(), HWND_TOP, 200, 150, 0, 0, SWP_NOSIZE);
  SetForegroundWindow(Main());
  Pump();
  for (const MenuCase& menu : cases) {
    SCOPED_TRACE(menu.name);
    POINT at{};
    if (menu.how == OpenBy::MenuBarClick) {
      RECT item{};
      ASSERT_TRUE(GetMenuItemRect(Main(), GetMenu(Main()), 0, &item));
      at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
      ASSERT_EQ(GetAncestor(WindowFromPoint(at), GA_ROOT), Main()) << "the window is covered";
    }
    MenuWatch seen;
    seen.deadline = GetTickCount64() + kMenuWatchLimitMs;
    watch = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, WatchMenu);
    if (menu.how == OpenBy::MenuBarClick) {
      MouseClick(at);
      // The click opens the menu inside the message it comes with; the menu's own loop runs
      // until the watch closes it.
      PumpUntil([] { return watch->seenOpen && OpenMenu() == nullptr; }, 25000);
    } else {
      SendMessageW(Main(), win32::kTrayMessage, 1, WM_RBUTTONUP);
      Pump();
    }
    KillTimer(nullptr, timer);
    watch = nullptr;
    EXPECT_TRUE(seen.seenOpen) << "the menu never opened";
    EXPECT_FALSE(seen.closedEarly)
        << "the menu closed by itself after " << seen.busyWithMenuOpen << " busy looks";
    EXPECT_GE(seen.busyWithMenuOpen, kCyclesWithMenuOpen);
    EXPECT_EQ(seen.windowDisabled, 0) << "the menu's owner was disabled";
    EXPECT_EQ(seen.commandEnabled, 0) << "Start/Stop took clicks during the scan";
    EXPECT_EQ(seen.logEnabled, 0);
    EXPECT_EQ(seen.wrongCaption, 0);
    EXPECT_EQ(seen.noWaitCursor, 0);
    Pump();
    EXPECT_TRUE(Enabled(Main(), win32::id::Command1)) << "the busy look ended with the scan";
    EXPECT_TRUE(Enabled(Main(), win32::id::txtLog));
  }
}

TEST_F(Win32BusyTest, TheWindowNeverShrinksBelowItsContent) {
  Start();
  RECT opened{};
  GetWindowRect(Main(), &opened);
  const SIZE tries[] = {{100, 100}, {560, 420}, {opened.right - opened.left, 200}};
  for (const SIZE& size : tries) {
    SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
    SetWindowPos(Main(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
    RECT client{};
    GetClientRect(Main(), &client);
    // Every control stands whole inside the client area, the Memory frame and the log pane too.
    for (HWND child = GetWindow(Main(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      RECT rect{};
      GetWindowRect(child, &rect);
      MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&rect), 2);
      EXPECT_LE(rect.right, client.right) << "control " << GetDlgCtrlID(child) << " cut";
      EXPECT_LE(rect.bottom, client.bottom) << "control " << GetDlgCtrlID(child) << " cut";
    }
    RECT log{};
    GetClientRect(Control(Main(), win32::id::txtLog), &log);
    EXPECT_GT(log.bottom, 0) << "the log pane has no room";
  }
}

}  // namespace
}  // namespace tarnwick::testing
