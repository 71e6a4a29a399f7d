// The Win32 views over a main window model on fake services (a clock that stands still, scripted
// CPU and memory figures, recorded message boxes and file pickers), the real Windows file
// service in a temporary program folder, and real windows on the display Wine runs on. Tests find
// controls by their IDs, read them with GetWindowTextW, click with BM_CLICK and type with
// WM_SETTEXT, as a user's input would reach them.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// windows.h names MessageBoxW and ReplaceFileW after two methods of the services' interfaces,
// which the fakes below implement.
#undef MessageBox
#undef ReplaceFile
// clang-format on

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control_ids.h"
#include "dialogs/dialog_fixture.h"
#include "forms/main_window_model.h"
#include "forms/window_places.h"
#include "main_window.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_process_killer.h"
#include "support/desk.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "widgets.h"

namespace tarnwick::testing {

class Win32ViewTest : public ::testing::Test {
 protected:
  FakeClock clock;
  RecordingUi ui;
  FakeSystemInfo system;
  FakeCpuCounters cpu;
  FakeMemory memory;
  FakeProcessLister processes{clock};
  RecordingSound sound;
  WindowsFileSystem files;
  WindowsProcessKiller killer;
  TempDir dir;
  std::unique_ptr<Desk> desk;
  Engine* engine = nullptr;
  MainWindowModel* model = nullptr;
  std::unique_ptr<win32::MainWindow> window;
  // Where the History or Processes window was left, one model per run of the program.
  std::vector<std::string> placesLog;
  std::vector<std::unique_ptr<WindowPlaces>> placesRuns;
  // The message loop's key handling of the program's other windows (Escape and Ctrl+W).
  std::function<bool(const MSG&)> keyMessage;

  void SetUp() override {
    system.programFolder = dir / "prog";
    system.logFolder = dir / "log";
    system.suffix = ".exe";
    std::filesystem::create_directories(PathFromUtf8(system.programFolder));
    memory.total = 10000 * kMiB;
    memory.available = 5000 * kMiB;
    processes.Add(100, "svchost.exe", 40, 200 * kMiB);
    processes.Add(200, "firefox.exe", 160, 1500 * kMiB);
    // The models centre their forms on this screen; the windows stand on the real one.
    ui.screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }

  void TearDown() override {
    window.reset();
    model = nullptr;
    engine = nullptr;
    desk.reset();
    Pump();
  }

  // Builds the window over the model (with `adjust` adding to its services) and loads it;
  // `beforeLoad` builds what the program wires to the window before it loads (its other windows).
  void Start(const std::function<void(DeskDeps&)>& adjust = nullptr,
             const std::function<void()>& beforeLoad = nullptr) {
    DeskDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    if (adjust) adjust(deps);
    desk = std::make_unique<Desk>(deps);
    engine = &desk->engine;
    model = &desk->form;
    window = std::make_unique<win32::MainWindow>(*model);
    if (beforeLoad) beforeLoad();
    model->OnLoad();
    window->Render();
    Pump();
  }

  // Runs the messages waiting now, through the dialogs' keyboard handling, as the program's
  // message loop does.
  void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      if (window && window->DialogMessage(message)) continue;
      if (keyMessage && keyMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  // Runs messages until `done` or the time limit (milliseconds).
  bool PumpUntil(const std::function<bool()>& done, DWORD limit) {
    const ULONGLONG end = GetTickCount64() + limit;
    while (!done()) {
      if (GetTickCount64() > end) return false;
      Pump();
      Sleep(10);
    }
    return true;
  }

  // A key pressed in the control with the focus, with Ctrl held or not, as the message loop gets
  // it from the keyboard.
  void PressKey(WORD key, bool control) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
    Pump();
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
  }

  // Escape and Ctrl+W each close `top` (opened again by `open`) from the control `focus`, W alone
  // does not, and the window shows the program's icon.
  void ExpectClosesOnKeysWithTheIcon(HWND top, int focus, const std::function<void()>& open) {
    EXPECT_NE(GetClassLongPtrW(top, GCLP_HICON), 0) << "the generic icon";
    const struct {
      const char* name;
      WORD key;
      bool control;
    } presses[] = {{"Escape", VK_ESCAPE, false}, {"Ctrl+W", 'W', true}, {"W alone", 'W', false}};
    for (const auto& press : presses) {
      SCOPED_TRACE(press.name);
      open();
      ASSERT_TRUE(IsWindowVisible(top));
      SetForegroundWindow(top);
      SetFocus(Control(top, focus));
      Pump();
      PressKey(press.key, press.control);
      EXPECT_EQ(IsWindowVisible(top) != FALSE, !press.control && press.key == 'W');
    }
  }

  // A History or Processes window opens within 90 % of its monitor's work area; the place it is
  // left at is in windows.ini under the monitor's device name, and a later run (a fresh places
  // model over the same file) opens it there.
  void ExpectPlaceKeptAcrossRuns(HWND top, std::string_view placeName,
                                 const std::function<void()>& open,
                                 const std::function<void(WindowPlaces&)>& usePlaces) {
    const std::string path = dir / "windows.ini";
    placesLog.clear();
    const auto logLine = [this](const std::string& line) { placesLog.push_back(line); };
    // The fixture keeps both runs' models: a view still open at its end saves to the last.
    WindowPlaces& firstRun =
        *placesRuns.emplace_back(std::make_unique<WindowPlaces>(files, path, logLine));
    firstRun.Load();
    usePlaces(firstRun);
    open();
    ASSERT_TRUE(IsWindowVisible(top));
    MONITORINFOEXW monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(top, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    RECT opened{};
    GetWindowRect(top, &opened);
    EXPECT_LE(opened.right - opened.left, (work.right - work.left) * kMostScreenShare);
    EXPECT_LE(opened.bottom - opened.top, (work.bottom - work.top) * kMostScreenShare);
    EXPECT_GE(opened.left, work.left);
    EXPECT_GE(opened.top, work.top);
    EXPECT_LE(opened.right, work.right);
    EXPECT_LE(opened.bottom, work.bottom);

    const PlaceRect left{work.left + 20, work.top + 10, 800, 620};
    SetWindowPos(top, nullptr, left.left, left.top, left.width, left.height, SWP_NOZORDER);
    PostMessageW(top, WM_CLOSE, 0, 0);
    Pump();
    ASSERT_FALSE(IsWindowVisible(top));

    WindowPlaces& nextRun =
        *placesRuns.emplace_back(std::make_unique<WindowPlaces>(files, path, logLine));
    nextRun.Load();
    EXPECT_EQ(nextRun.Find(placeName, win32::U8(monitor.szDevice)), left);
    usePlaces(nextRun);
    SetWindowPos(top, nullptr, work.left, work.top, 760, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    open();
    RECT reopened{};
    GetWindowRect(top, &reopened);
    EXPECT_EQ((PlaceRect{reopened.left, reopened.top, reopened.right - reopened.left,
                         reopened.bottom - reopened.top}),
              left);
    EXPECT_TRUE(placesLog.empty());
  }

  HWND Main() const { return window->hwnd(); }
  static HWND Control(HWND parent, int id) { return GetDlgItem(parent, id); }
  static std::string Text(HWND parent, int id) {
    return win32::WindowTextUtf8(Control(parent, id));
  }
  static bool Enabled(HWND parent, int id) { return IsWindowEnabled(Control(parent, id)) != 0; }
  static bool Ticked(HWND parent, int id) {
    return SendMessageW(Control(parent, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  void Click(HWND parent, int id) {
    SendMessageW(Control(parent, id), BM_CLICK, 0, 0);
    Pump();
  }
  void Type(HWND parent, int id, const std::string& text) {
    HWND box = Control(parent, id);
    const std::wstring wide = win32::W(text);
    if ((GetWindowLongPtrW(box, GWL_STYLE) & ES_MULTILINE) != 0) {
      // A multi-line box tells of WM_SETTEXT with no EN_CHANGE; typing replaces the selection.
      SendMessageW(box, EM_SETSEL, 0, -1);
      SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
    } else {
      SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    Pump();
  }
  // A menu command, as the menu bar sends it.
  void Menu(int id) {
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump();
  }
  // Chooses an item of a drop-down list as the user does.
  void Choose(HWND parent, int id, int index) {
    SendMessageW(Control(parent, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Control(parent, id)));
    Pump();
  }
  // A cell's text and the rows of a report list, as the list view gives them.
  static std::string Cell(HWND list, int row, int column) {
    wchar_t text[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return win32::U8(text);
  }
  static int Rows(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  }
  // A click on a list's column heading, as the mouse gives it to the heading control.
  void ClickHeading(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT rect{};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    Pump();
  }
  // Selects a row of a list, as a click on it does.
  void SelectListRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    Pump();
  }
  // The text of a row of the log pane, as the list view gives it.
  std::string LogRow(int row) {
    wchar_t text[1024] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(Control(Main(), win32::id::txtLog), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return win32::U8(text);
  }
  int LogRows() {
    return static_cast<int>(
        SendMessageW(Control(Main(), win32::id::txtLog), LVM_GETITEMCOUNT, 0, 0));
  }
  std::string ReadProgramFile(const std::string& name) {
    return ReadFile(system.programFolder + "/" + name);
  }
};

}  // namespace tarnwick::testing
