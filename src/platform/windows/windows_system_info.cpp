#include "platform/windows/windows_system_info.h"

#include <windows.h>

#include <bit>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/windows/wide_text.h"

namespace tarnwick {

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

std::string WindowsSystemInfo::ProgramFolder() {
  // The path may exceed MAX_PATH; the buffer grows until the whole path fits (32767 is the
  // longest path Windows has).
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return ".";
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return ".";
  // "C:\tarnwick.exe" lives in "C:\", whose separator cannot go.
  if (separator == 2 && path[1] == L':') return win::Utf8(path.substr(0, 3));
  return win::Utf8(path.substr(0, separator));
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
