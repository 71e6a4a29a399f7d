// The Win32 main window over its model: what its controls show under their IDs, Start and Stop,
// a cycle through the window's own timer, the tray entry (minimise into it, the double click
// that brings the window back centred, the right click's menu with Start/Stop, Explorer starting
// again), the File menu's start with the session, and text that is neither ASCII nor from the
// window's own code page.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/windows_autostart.h"
#include "settings/settings_store.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

using win32::id::Command1;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(Win32ViewTest, StartAndStopShowInTheButtonCaptionLogAndTimer) {
  Start();
  // No service account: the login starts monitoring at once.
  EXPECT_EQ(Text(Main(), Command1), "Stop");
  EXPECT_TRUE(EndsWith(win32::WindowTextUtf8(Main()), " Running")) << win32::WindowTextUtf8(Main());
  EXPECT_EQ(Text(Main(), win32::id::lblTimeinterval), "Monitor cycle on every 5 seconds");
  EXPECT_EQ(Text(Main(), win32::id::lbl_Threshold_0), "85%");
  EXPECT_EQ(Text(Main(), win32::id::Label6_0), "No program monitored");
  EXPECT_TRUE(EndsWith(LogRow(0), " - Monitoring Started")) << LogRow(0);

  Click(Main(), Command1);
  EXPECT_EQ(Text(Main(), Command1), "Start");
  EXPECT_EQ(model->Command1.backColor, kColorRed);
  EXPECT_TRUE(EndsWith(win32::WindowTextUtf8(Main()), " Stopped"));
  EXPECT_TRUE(EndsWith(LogRow(0), " - Monitoring Stopped")) << LogRow(0);
  EXPECT_FALSE(model->tmrUpdate.enabled);

  Click(Main(), Command1);
  EXPECT_EQ(Text(Main(), Command1), "Stop");
  EXPECT_TRUE(EndsWith(LogRow(0), " - Monitoring Started")) << LogRow(0);
  EXPECT_EQ(model->log().LinesWritten(), static_cast<size_t>(LogRows()));
}

TEST_F(Win32ViewTest, TheWindowsTimerRunsTheCycleAndItsFiguresShow) {
  Settings s;
  s.TimeInterval = "1";
  s.cpu_High = "75";
  s.mem_High = "90";
  s.num_High = "3";
  s.host_Name = "WEB01";
  WriteFile(system.programFolder + "/setting.ini", FormatSettingFile(s));
  cpu.busy = {93, 93, 93, 93, 93, 93, 93, 93};
  memory.available = 4000 * kMiB;
  Start();
  ASSERT_TRUE(PumpUntil([this] { return !Text(Main(), win32::id::lbl_lastTime).empty(); }, 5000))
      << "no cycle within 5 s of a 1 s interval";
  EXPECT_EQ(Text(Main(), win32::id::lbl_lastTime), "10:15:07 2026-12-04");
  EXPECT_EQ(Text(Main(), win32::id::lblCPUValue_0), "93 %");
  EXPECT_EQ(Text(Main(), win32::id::lblCPUValue_1), "60 %");
  EXPECT_EQ(Text(Main(), win32::id::lblRamValue_0), "10000");
  EXPECT_EQ(Text(Main(), win32::id::lblRamValue_1), "4000");
  EXPECT_EQ(Text(Main(), win32::id::lblRamValue_2), "6000");
  EXPECT_EQ(Text(Main(), win32::id::lblCPU_count), "1");
  EXPECT_EQ(SendMessageW(Control(Main(), win32::id::CPU_Progress), PBM_GETPOS, 0, 0), 93);
  EXPECT_EQ(SendMessageW(Control(Main(), win32::id::RAM_Progress), PBM_GETPOS, 0, 0), 60);
  EXPECT_EQ(model->lblCPUValue[0].foreColor, kColorRed);
  EXPECT_EQ(win32::WindowTextUtf8(Main()), "12-04 10:15:07 CPU / MEMORY usage 93% / 60%");
  EXPECT_EQ(model->trayTip, "12-04 10:15:07 CPU / MEMORY usage 93% / 60%");
  EXPECT_NE(LogRow(0).find("CPU 93% exceed 75% for 1 times. TOP 1 : firefox.exe"),
            std::string::npos)
      << LogRow(0);
}

TEST_F(Win32ViewTest, MinimisedItHidesInTheTrayAndComesBackCentredAndInFront) {
  Start();
  ASSERT_TRUE(window->tray().Shown()) << "the desktop shows no tray entry";
  ASSERT_TRUE(model->trayShown);
  // Away from the centre first, as a user may have moved it.
  SetWindowPos(Main(), nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Pump();

  ShowWindow(Main(), SW_MINIMIZE);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Main())) << "minimised, the window hides in the tray";
  EXPECT_FALSE(model->visible);

  SendMessageW(Main(), win32::kTrayMessage, 1, WM_LBUTTONDBLCLK);
  Pump();
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_FALSE(IsIconic(Main()));
  RECT rect{};
  GetWindowRect(Main(), &rect);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2);
}

TEST_F(Win32ViewTest, AnExplorerThatStartedAgainGetsTheEntryAnew) {
  Start();
  ASSERT_TRUE(window->tray().Shown());
  // Explorer ended and started again: its entries are gone until their programs add them anew.
  NOTIFYICONDATAW entry{};
  entry.cbSize = sizeof entry;
  entry.hWnd = Main();
  entry.uID = 1;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &entry));
  ASSERT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &entry));
  SendMessageW(Main(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &entry)) << "the entry is back";
  EXPECT_TRUE(model->trayShown);
}

TEST_F(Win32ViewTest, TheTrayMenuIsTheFileMenuWithStartStop) {
  Start();
  const auto hasStartStop = [this] {
    return GetMenuState(window->fileMenu(), win32::id::mStart, MF_BYCOMMAND) != 0xFFFFFFFF;
  };
  EXPECT_FALSE(hasStartStop()) << "the window's own File menu has no Start/Stop";
  // The menu stays open until the user chooses; a timer closes it as a click elsewhere would.
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
  });
  SendMessageW(Main(), win32::kTrayMessage, 1, WM_RBUTTONUP);
  Pump();
  ASSERT_TRUE(hasStartStop());
  wchar_t caption[32] = {};
  GetMenuStringW(window->fileMenu(), win32::id::mStart, caption, 32, MF_BYCOMMAND);
  EXPECT_EQ(win32::U8(caption), "Stop");
  // Chosen from the tray menu, it stops monitoring.
  Menu(win32::id::mStart);
  EXPECT_EQ(Text(Main(), Command1), "Start");
  GetMenuStringW(window->fileMenu(), win32::id::mStart, caption, 32, MF_BYCOMMAND);
  EXPECT_EQ(win32::U8(caption), "Start");
}

TEST_F(Win32ViewTest, FileMenuStartWithTheSessionWritesAndRemovesTheRunEntry) {
  // The Run entry of a program elsewhere, under a name of the test's own.
  WindowsAutostart autostart("C:\\Tarnwick View Test\\tarnwick.exe", "TarnwickViewTest");
  ASSERT_TRUE(autostart.SetEnabled(false).ok);
  Start([&autostart](DeskDeps& deps) { deps.autostart = &autostart; });
  const auto state = [this] {
    return GetMenuState(window->fileMenu(), win32::id::mAutostart, MF_BYCOMMAND);
  };
  ASSERT_NE(state(), 0xFFFFFFFF) << "the item is in the File menu";
  EXPECT_EQ(state() & MF_CHECKED, 0u);
  Menu(win32::id::mAutostart);
  EXPECT_NE(state() & MF_CHECKED, 0u);
  EXPECT_TRUE(autostart.IsEnabled());
  Menu(win32::id::mAutostart);
  EXPECT_EQ(state() & MF_CHECKED, 0u);
  EXPECT_FALSE(autostart.IsEnabled());
}

TEST_F(Win32ViewTest, TextFromOutsideShowsWholeInTheCaptionLabelsAndLog) {
  // A host described in Greek and Chinese.
  const std::string host = "Διακομιστής 北京";
  Settings s;
  s.TimeInterval = "5";
  s.cpu_High = "0";
  s.mem_High = "101";
  s.num_High = "1";
  s.host_Name = host;
  WriteFile(system.programFolder + "/setting.ini", FormatSettingFile(s));
  Start();
  cpu.busy = {50};
  engine->Monitor();
  window->Render();
  bool found = false;
  for (int row = 0; row < LogRows() && !found; ++row) {
    found = LogRow(row).find(" " + host + " CPU 50% exceed 0% for ") != std::string::npos;
  }
  EXPECT_TRUE(found) << LogRow(0);
}

}  // namespace
}  // namespace tarnwick::testing
