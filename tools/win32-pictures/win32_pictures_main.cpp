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
#include <fstream>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "history/history_time.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "monitor/main_window_model.h"
#include "monitor/processes_window_model.h"
#include "platform/process_killer.h"
#include "platform/sound_player.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "platform/windows/nt_process_lister.h"
#include "platform/owner_only_file.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_clock.h"
#include "platform/windows/windows_counters.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_system_info.h"
#include "process/program_settings.h"
#include "processes_window.h"
#include "settings/settings_store.h"
#include "ui_services.h"

namespace tarnwick {
namespace {

// The machine's facts, with the program and log folders of the pictures' own.
class PictureSystemInfo final : public ISystemInfo {
 public:
  explicit PictureSystemInfo(std::string folder) : folder_(std::move(folder)) {}
  int ProcessorCount() override { return real_.ProcessorCount(); }
  std::string ComputerName() override { return real_.ComputerName(); }
  std::string ProgramFolder() override { return folder_; }
  std::string LogFolder() override { return folder_ + "\\monitor_log"; }
  std::string PathSeparator() override { return "\\"; }
  std::string ExecutableSuffix() override { return ".exe"; }
  std::string OwnExecutableName() override { return "tarnwick"; }
  bool EnsureFolder(const std::string& path) override { return real_.EnsureFolder(path); }
  void RaisePriority() override {}

 private:
  WindowsSystemInfo real_;
  std::string folder_;
};

class Silence final : public ISoundPlayer {
 public:
  void PlayWav(const std::string&) override {}
};

class RefusingKiller final : public IProcessKiller {
 public:
  bool KillProcess(int, uint64_t) override { return false; }
};

// Settings as an administrator would have them: alerts, the kill rule and the warning sound on,
// and a second SMTP server with the "I am alive" notice.
void WriteSampleSettings(SettingsStore& store, IUiServices& ui, const std::string& folder) {
  Settings s;
  s.TimeInterval = "5";
  s.cpu_High = "85";
  s.mem_High = "90";
  s.num_High = "10";
  s.host_Name = "WEB01 (web server)";
  s.Enable_log = 1;
  s.KillProc = 1;
  s.num_Kill = "8";
  s.Killopt = true;
  s.PnameList = "java.exe,node.exe,sqlservr.exe";
  s.Enable_sound = 1;
  s.filMusic = folder + "\\alert.wav";
  s.soundOn = 1;
  s.soundFrom = "8";
  s.soundTo = "19";
  s.Enable_alert = 1;
  s.smsEmail = "ops@example.org";
  s.smsPassword = "secret";
  s.smsPhone = "+15550100,+447700900123";
  s.Mail_List = "ops@example.org,boss@example.org";
  s.max_SMS = "20";
  s.schAlert = 1;
  s.smsFrom = "7";
  s.smsTo = "22";
  s.Enable_SMTP = 1;
  s.mailSvr = "mail.example.org";
  s.SMTPport = "587";
  s.mailFrom = "monitor@example.org";
  s.MailUser = "monitor@example.org";
  s.MailPass = "smtp-secret";
  s.alive_Email = 1;
  s.min_Select = "60";
  s.mailTo1 = "admin@example.org";
  store.SaveSettings(s, ui);
  store.SaveSMTPSettings(s, ui);
}

// The program monitor watches the Wine desktop process the pictures are drawn by.
void WriteSampleProgramSettings(const std::string& folder) {
  ProgramSettings p;
  p.pgmMonitorF = 1;
  p.pgmNameF = "explorer.exe";
  p.pgmCPUsetF = 60;
  p.pgmMEMsetF = 25;
  p.pgmAlertSetF = 5;
  p.pgmKillF = 0;
  p.pgmSoundF = 1;
  p.pgmFileSoundF = folder + "\\alert1.wav";
  std::ofstream out(PathFromUtf8(folder + "\\" + std::string(kProgramSettingFileName)),
                    std::ios::binary | std::ios::trunc);
  out << FormatProgramSettingFile(p);
}

HistoryEvent WatchEvent(int64_t t, HistoryEventKind kind, HistoryWatch watch, double value,
                        std::string top, SendState sent, std::string text) {
  HistoryEvent e;
  e.t = t;
  e.kind = kind;
  e.watch = watch;
  e.value = value;
  e.top = std::move(top);
  e.sent = sent;
  e.text = std::move(text);
  return e;
}

// Two sample days of history ending now on a Windows server: quiet load with the nightly backup
// at 3 a.m., which raised a CPU and a memory alert in the last night that is over (the CPU alert
// repeated, logged only), a report run in the afternoon, and a top list every minute. Returns the
// time of that night's first CPU alert.
int64_t WriteSampleHistory(IHistoryStore& store, int64_t now) {
  HistoryBatch b;
  // Whole minutes, so the top lists fall on samples; a day before the last, so that the night
  // is seen whole whenever the picture is taken.
  const int64_t start = (now - 86400) / 60 * 60;
  for (int64_t t = start - 86400; t < now; t += 5) {
    const LocalTime at = FromHistorySeconds(t);
    const int minute = at.hour * 60 + at.minute;
    int cpu = 7 + static_cast<int>((t * 7919) % 9);
    int mem = 52 + static_cast<int>((t / 600) % 5);
    if (minute >= 3 * 60 && minute < 3 * 60 + 25) {
      cpu = 90 + static_cast<int>((t * 31) % 9);
      mem = minute >= 3 * 60 + 5 && minute < 3 * 60 + 16 ? 93 : 74;
    } else if (minute >= 14 * 60 && minute < 14 * 60 + 40) {
      cpu = 50 + static_cast<int>((t * 13) % 25);
      mem = 66;
    }
    b.samples.push_back({t, cpu, mem, mem * 160});
    if (t % 60 == 0) {
      const bool night = minute >= 180 && minute < 205;
      const bool report = minute >= 840 && minute < 880;
      const char* top = night ? "sqlbackup.exe" : report ? "ReportRunner.exe" : "w3wp.exe";
      b.tops.push_back({t, TopKind::Cpu, 1, top,
                        night    ? 6120
                        : report ? 7344
                                 : 3012,
                        night    ? 86.0
                        : report ? 44.5
                                 : 3.9});
      b.tops.push_back({t, TopKind::Cpu, 2, "svchost.exe", 1116, 1.2});
      b.tops.push_back({t, TopKind::Memory, 1, "sqlservr.exe", 2204, night ? 38.0 : 29.5});
    }
  }
  // 3 a.m. of the last night that is over, and moments after it.
  int64_t three = start + (3 * 3600 - start % 86400 + 86400) % 86400;
  if (three + 3600 > now) three -= 86400;
  auto at = [three](int minutes, int seconds) { return three + minutes * 60 + seconds; };
  const int64_t alertAt = at(2, 30);
  using K = HistoryEventKind;
  using W = HistoryWatch;
  b.events.push_back({at(-(19 * 60 + 2), 0), K::MonitoringStarted, "Monitoring Started"});
  b.events.push_back(WatchEvent(
      alertAt, K::AlertRaised, W::Cpu, 95, "sqlbackup.exe", SendState::Sent,
      "12-04 03:02:30 WEB01 (web server) CPU 95% exceed 85% for 50 sec.(10 times).TOP1 : "
      "sqlbackup.exe 86% @03:02:25 *sqlbackup.exe(10)"));
  b.events.push_back(WatchEvent(
      at(10, 10), K::AlertRaised, W::Memory, 93, "sqlservr.exe", SendState::Sent,
      "12-04 03:10:10 WEB01 (web server) MEMORY 93% exceed 90% for 50 sec.(10 times).TOP1 : "
      "sqlservr.exe 6082.6M(38%) @03:10:05 *sqlservr.exe(10)"));
  b.events.push_back(WatchEvent(
      at(12, 30), K::AlertRaised, W::Cpu, 97, "sqlbackup.exe", SendState::LogOnly,
      "12-04 03:12:30 WEB01 (web server) CPU 97% exceed 85% for 50 sec.(10 times).TOP1 : "
      "sqlbackup.exe 88% @03:12:20 *sqlbackup.exe(10) (Not first time,log only)"));
  b.events.push_back(WatchEvent(at(16, 5), K::BackToNormal, W::Memory, 74, "", SendState::Sent,
                                "MEM 74% back to normal"));
  b.events.push_back(WatchEvent(at(25, 5), K::BackToNormal, W::Cpu, 11, "", SendState::Sent,
                                "CPU 11% back to normal"));
  store.Append(b);
  return alertAt;
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
  PictureSystemInfo system(folder);
  WindowsCpuCounters cpu;
  WindowsMemoryReader memory;
  NtProcessLister processes;
  Silence sound;
  WindowsFileSystem files;
  RefusingKiller killer;
  {
    SettingsStore store(files, folder, "\\");
    WriteSampleSettings(store, ui, folder);
    WriteSampleProgramSettings(folder);
  }
  MainWindowDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
  deps.processKiller = &killer;
  MainWindowModel model(deps);
  win32::MainWindow window(model);
  ui.SetBeforeEvents([&window] { window.Render(); });
  model.OnLoad();
  window.Render();
  // Two cycles over the machine's figures, a second apart.
  for (int i = 0; i < 2; ++i) {
    Settle(window, 1000);
    model.OnTmrUpdateTick();
    model.cycleCountdown = 1;
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
    // The night, as an administrator looking into it would zoom in on it, with its first alert
    // picked from the list.
    SqliteHistoryStore historyStore(folder + "\\" + std::string(kHistoryFileName));
    const int64_t alertAt = WriteSampleHistory(historyStore, ToHistorySeconds(clock.Now()));
    HistoryWindowModel history(clock, model.settings, &historyStore, nullptr,
                               {&ui, &CreateOwnerOnlyFile, folder});
    win32::HistoryWindow historyView(history);
    historyView.Open();
    // A night before the last day is listed on the week's span.
    if (alertAt < ToHistorySeconds(clock.Now()) - 86400) history.OnSpanClick(3);
    history.OnZoom(alertAt - 40 * 60, alertAt + 50 * 60);
    for (size_t row = 0; row < history.eventRows.size(); ++row) {
      if (history.eventRows[row].t == alertAt) history.OnEventSelect(static_cast<int>(row));
    }
    historyView.Render();
    Settle(window, 800);
    if (!Capture(historyView.hwnd(), out + L"\\history.bmp")) ++failures;
    SendMessageW(historyView.hwnd(), WM_CLOSE, 0, 0);
  }

  {
    // The live processes, with a run of samples over the thresholds so that the kill rule has a
    // pick: the thresholds are lowered for the picture only (nothing is saved).
    ProcessesWindowModel processesModel(model, nullptr);
    win32::ProcessesWindow processesView(processesModel);
    model.settings.cpu_High = "0";
    model.settings.mem_High = "0";
    processesView.Open();
    for (int cycle = 0; cycle < 3; ++cycle) {
      Settle(window, 1000);
      model.cycleCountdown = 1;
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
