#include "platform/windows/windows_system_info.h"

#include <windows.h>

#include <bit>
#include <filesystem>
#include <string>
#include <system_error>

#include "domain/settings_location.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

std::wstring Environment(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, value.data(), needed);
  value.resize(got < needed ? got : 0);
  return value;
}

// `folder` is `root` or lies inside it (letter case ignored, as Windows does).
bool Inside(const std::wstring& folder, std::wstring root) {
  while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
  if (root.empty() || folder.size() < root.size()) return false;
  if (CompareStringOrdinal(folder.c_str(), static_cast<int>(root.size()), root.c_str(),
                           static_cast<int>(root.size()), TRUE) != CSTR_EQUAL) {
    return false;
  }
  return folder.size() == root.size() || folder[root.size()] == L'\\' ||
         folder[root.size()] == L'/';
}

// The user may create a file in the folder: a probe file created and deleted again. (The
// folder's DACL, not its read-only attribute, decides; the probe asks the system itself.)
bool MayCreateFiles(const std::wstring& folder) {
  const std::wstring probe =
      folder + L"\\.tarnwick-probe-" + std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

int WindowsSystemInfo::OwnProcessId() {
  return static_cast<int>(GetCurrentProcessId());
}

int WindowsSystemInfo::ProcessorCount() {
  DWORD_PTR processMask = 0;
  DWORD_PTR systemMask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) {
    const int count = std::popcount(static_cast<unsigned long long>(processMask));
    if (count > 0) return count;
  }
  return 1;
}

std::string WindowsSystemInfo::ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &length)) return {};
  return win::Utf8(std::wstring_view(name, length));
}

std::string RunningExecutablePath() {
  // The path may exceed MAX_PATH; the buffer grows until the whole path fits (32767 is the
  // longest path Windows has).
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return win::Utf8(path);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string WindowsSystemInfo::ProgramFolder() {
  const std::wstring path = win::Wide(RunningExecutablePath());
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return ".";
  // "C:\tarnwick.exe" lives in "C:\", whose separator cannot go.
  if (separator == 2 && path[1] == L':') return win::Utf8(path.substr(0, 3));
  return win::Utf8(path.substr(0, separator));
}

std::string WindowsSystemInfo::SettingsFolder() {
  if (!settingsFolder_.empty()) return settingsFolder_;
  const std::string program = ProgramFolder();
  if (!userSettingsFallback_) return program;
  SettingsPlaceFacts facts;
  facts.programFolder = program;
  const std::wstring folder = win::Wide(program);
  // Program Files belongs to the installer, even for an administrator who may write there.
  const bool installed = Inside(folder, Environment(L"ProgramFiles")) ||
                         Inside(folder, Environment(L"ProgramFiles(x86)")) ||
                         Inside(folder, Environment(L"ProgramW6432"));
  facts.programFolderWritable = !installed && MayCreateFiles(folder);
  facts.appData = win::Utf8(Environment(L"APPDATA"));
  return ChooseSettingsFolder(facts);
}

bool WindowsSystemInfo::EnsureFolder(const std::string& path) {
  if (path.empty()) return false;
  const std::filesystem::path folder(win::Wide(path));
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error);
}

void WindowsSystemInfo::RaisePriority() {
  (void)SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
  (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace tarnwick
