// tarnwick_win32_pictures.exe OUT_FOLDER: shows the Win32 main window over the machine's real
// figures, then each settings dialog through its model's menu command, the History window over a
// sample day of usage history with its first alert selected, and the Processes window over the
// machine's own processes, and saves every window as a BMP file in OUT_FOLDER (main-window.bmp,
// alert-settings.bmp, smtp-settings.bmp, program-monitor.bmp, history.bmp, processes.bmp);
// tools/win32-pictures.py runs it under Wine on a private Xvfb and turns the files into PNG
// pictures. The program folder is a temporary one with sample settings, so
// the pictures never depend on the settings of whoever runs it. Nothing leaves the machine:
// there is no web service transport, no mailer, no sound, and no process is ever terminated.

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <filesystem>
#include <string>

#include "domain/history_time.h"
#include "engine/engine.h"
#include "forms/main_window_model.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "picture_samples.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "platform/windows/nt_process_lister.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_clock.h"
#include "platform/windows/windows_counters.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_system_info.h"
#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "settings/settings_store.h"
#include "ui_services.h"

namespace tarnwick {
namespace {

// A Windows web server whose sounds are in the program's folder; its program monitor watches
// the Wine desktop process the pictures are drawn by.
pictures::SampleMachine WindowsMachine(const std::string& folder) {
  pictures::SampleMachine m;
  m.soundFolder = folder;
  m.separator = "\\";
  m.killList = "java.exe,node.exe,sqlservr.exe";
  m.watchedProgram = "explorer.exe";
  m.backup = "sqlbackup.exe";
  m.database = "sqlservr.exe";
  m.afternoon = "ReportRunner.exe";
  m.daytime = "w3wp.exe";
  m.second = "svchost.exe";
  return m;
}

// Runs the window messages for a while, so that every window is painted.
void Settle(win32::MainWindow& window, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (window.DialogMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(20);
  }
}

// The window as it is on the screen, title bar and frame included, as a 24-bit BMP file.
bool Capture(HWND window, const std::wstring& path) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file keeps its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageBytes = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageBytes;
  info.bmiHeader.biSizeImage = imageBytes;
  bool written = false;
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              std::fwrite(bits, 1, imageBytes, out) == imageBytes;
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

int Run(const std::wstring& out) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folderW =
      std::wstring(temp) + L"tarnwick-pictures-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::create_directories(folderW);
  const std::string folder = win::Utf8(folderW);
  // The icons, sounds and cursor of the program's folder.
  wchar_t self[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path bin = std::filesystem::path(self).parent_path();
  for (const wchar_t* asset :
       {L"eyestop.ico", L"eyerun.ico", L"alert.wav", L"alert1.wav", L"Hand-m.cur"}) {
    std::error_code ignored;
    std::filesystem::copy_file(bin / asset, std::filesystem::path(folderW) / asset,
                               std::filesystem::copy_options::overwrite_existing, ignored);
  }

  WindowsClock clock;
  win32::Win32UiServices ui;
  WindowsSystemInfo realSystem;
  pictures::PictureSystemInfo system(realSystem, folder);
  WindowsCpuCounters cpu;
  WindowsMemoryReader memory;
  NtProcessLister processes;
  pictures::Silence sound;
  WindowsFileSystem files;
  pictures::RefusingKiller killer;
  const pictures::SampleMachine machine = WindowsMachine(folder);
  {
    SettingsStore store(files, folder, "\\");
    pictures::WriteSampleSettings(machine, store, ui);
    pictures::WriteSampleProgramSettings(machine, files, folder);
  }
  EngineDeps deps{clock, system, cpu, memory, processes, sound, files};
  deps.events = &ui;
  deps.processKiller = &killer;
  Engine engine(deps);
  MainWindowModel model(engine, {ui});
  win32::MainWindow window(model);
  ui.SetBeforeEvents([&window] { window.Render(); });
  model.OnLoad();
  window.Render();
  // Two cycles over the machine's figures, a second apart.
  for (int i = 0; i < 2; ++i) {
    Settle(window, 1000);
    model.OnTmrUpdateTick();
    engine.cycleCountdown = 1;
    window.Render();
  }
  Settle(window, 800);
  int failures = Capture(window.hwnd(), out + L"\\main-window.bmp") ? 0 : 1;

  struct Dialog {
    void (MainWindowModel::*open)();
    HWND (win32::MainWindow::*view)() const;
    const wchar_t* file;
  };
  const Dialog dialogs[] = {
      {&MainWindowModel::OnSetupClick, &win32::MainWindow::alertSettingDialog,
       L"\\alert-settings.bmp"},
      {&MainWindowModel::OnSMTPsetupClick, &win32::MainWindow::smtpServerDialog,
       L"\\smtp-settings.bmp"},
      {&MainWindowModel::OnMPGMSetupClick, &win32::MainWindow::pgmSetupDialog,
       L"\\program-monitor.bmp"},
  };
  for (const Dialog& d : dialogs) {
    (model.*d.open)();
    window.Render();
    Settle(window, 800);
    HWND dialog = (window.*d.view)();
    if (dialog == nullptr || !Capture(dialog, out + d.file)) ++failures;
    // Escape closes it, as the user would.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    Settle(window, 200);
  }

  {
    SqliteHistoryStore historyStore(folder + "\\" + std::string(kHistoryFileName));
    const int64_t now = ToHistorySeconds(clock.Now());
    const int64_t alertAt = pictures::WriteSampleHistory(machine, historyStore, now);
    HistoryWindowModel history(clock, engine.settings, &historyStore, nullptr,
                               {&ui, &CreateOwnerOnlyFile, folder});
    win32::HistoryWindow historyView(history);
    historyView.Open();
    pictures::ShowSampleNight(history, alertAt, now);
    historyView.Render();
    Settle(window, 800);
    if (!Capture(historyView.hwnd(), out + L"\\history.bmp")) ++failures;
    SendMessageW(historyView.hwnd(), WM_CLOSE, 0, 0);
  }

  {
    // The live processes, with a run of samples over the thresholds so that the kill rule has a
    // pick: the thresholds are lowered for the picture only (nothing is saved).
    ProcessesWindowModel processesModel(engine.processSampler(), engine, system.ExecutableSuffix(),
                                        nullptr);
    Listening processesListening(engine, processesModel);
    win32::ProcessesWindow processesView(processesModel);
    pictures::UseProcessesPictureSettings(engine.settings);
    processesView.Open();
    for (int cycle = 0; cycle < 3; ++cycle) {
      Settle(window, 1000);
      engine.cycleCountdown = 1;
      model.OnTmrUpdateTick();
    }
    Settle(window, 800);
    if (!Capture(processesView.hwnd(), out + L"\\processes.bmp")) ++failures;
    SendMessageW(processesView.hwnd(), WM_CLOSE, 0, 0);
  }

  std::error_code ignored;
  std::filesystem::remove_all(folderW, ignored);
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tarnwick

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 2) {
    std::fputs("usage: tarnwick_win32_pictures OUT_FOLDER\n", stderr);
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES |
                                                     ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  return tarnwick::Run(argv[1]);
}
