// tarnwick.exe: the Tarnwick desktop program for Windows, the main window in the notification
// area over the Windows services. --history and --export-history print or write the usage
// history (of --log-dir DIR when given) and end the program before any window exists.

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "forms/main_window_model.h"
#include "history/history_command_line.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_autostart.h"
#include "platform/windows/windows_clock.h"
#include "platform/windows/windows_system_info.h"
#include "program.h"

namespace {

bool Usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// A program without a console of its own writes to the console it was started from, unless its
// output already goes to a file or a pipe.
void OutputToParentConsole() {
  const bool out = Usable(GetStdHandle(STD_OUTPUT_HANDLE));
  const bool err = Usable(GetStdHandle(STD_ERROR_HANDLE));
  if (out && err) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out) (void)std::freopen("CONOUT$", "w", stdout);
  if (!err) (void)std::freopen("CONOUT$", "w", stderr);
}

constexpr std::string_view kAutostartOption = "--autostart";
constexpr std::string_view kProgramName = "tarnwick";

// --autostart on|off writes or removes the entry that File > Start with the desktop session
// switches, through the same class (the installer's "Start with Windows"). Its exit code, or
// nullopt when the arguments ask for something else.
std::optional<int> RunAutostartCommand(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != kAutostartOption) return std::nullopt;
  if (args.size() != 2 || (args[1] != "on" && args[1] != "off")) {
    std::fputs("tarnwick: option '--autostart' takes on or off\n", stderr);
    return 2;
  }
  tarnwick::WindowsAutostart autostart;
  const tarnwick::FileResult result = autostart.SetEnabled(args[1] == "on");
  if (!result.ok) {
    std::fputs(
        ("tarnwick: " + std::string(tarnwick::kAutostartFailed) + result.reason + "\n").c_str(),
        stderr);
    return 1;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tarnwick::win::Utf8(argv[i]));
  if (!args.empty()) {
    OutputToParentConsole();
    if (const auto status = RunAutostartCommand(args)) return *status;
    tarnwick::WindowsSystemInfo system;
    tarnwick::WindowsClock clock;
    const auto open = [separator = system.PathSeparator()](const std::string& folder) {
      return std::make_unique<tarnwick::SqliteHistoryStore>(
          folder + separator + std::string(tarnwick::kHistoryFileName),
          tarnwick::SqliteHistoryStore::Access::ReadOnly);
    };
    if (const auto status = tarnwick::RunDesktopHistoryCommandLine(
            kProgramName, args, system.LogFolder(), open, clock, std::cout, std::cerr,
            &tarnwick::CreateOwnerOnlyFile)) {
      std::cout.flush();
      std::fflush(stdout);
      return *status;
    }
  }

  // The file dialog and the shell want a single-threaded apartment on the UI thread.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES |
                                                     ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                                     ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  int exitCode = 0;
  {
    tarnwick::win32::Program program;
    program.Start();
    exitCode = program.Run();
  }
  CoUninitialize();
  return exitCode;
}
