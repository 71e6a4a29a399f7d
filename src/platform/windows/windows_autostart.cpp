#include "platform/windows/windows_autostart.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_system_info.h"

namespace tarnwick {
namespace {

// The path a Run entry starts: its first argument, quoted or not.
std::wstring StartedPath(std::wstring data) {
  if (!data.empty() && data.front() == L'"') {
    const size_t close = data.find(L'"', 1);
    return data.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  const size_t blank = data.find(L' ');
  // An unquoted path with blanks is taken whole when nothing else is there to tell.
  return blank == std::wstring::npos || GetFileAttributesW(data.c_str()) != INVALID_FILE_ATTRIBUTES
             ? data
             : data.substr(0, blank);
}

class RunKey {
 public:
  explicit RunKey(REGSAM access) {
    status_ = RegCreateKeyExW(HKEY_CURRENT_USER, win::Wide(WindowsAutostart::kRunKey).c_str(), 0,
                              nullptr, 0, access, nullptr, &key_, nullptr);
  }
  ~RunKey() {
    if (status_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  RunKey(const RunKey&) = delete;
  RunKey& operator=(const RunKey&) = delete;

  LSTATUS status() const { return status_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  LSTATUS status_ = ERROR_INVALID_HANDLE;
};

}  // namespace

WindowsAutostart::WindowsAutostart(std::string program, std::string valueName)
    : program_(program.empty() ? RunningExecutablePath() : std::move(program)),
      valueName_(std::move(valueName)) {}

std::string WindowsAutostart::CommandLine() const {
  return "\"" + program_ + "\"";
}

bool WindowsAutostart::IsEnabled() {
  RunKey key(KEY_QUERY_VALUE);
  if (key.status() != ERROR_SUCCESS) return false;
  const std::wstring name = win::Wide(valueName_);
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || bytes > 65536) {
    return false;
  }
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring started = StartedPath(data.data());
  if (type == REG_EXPAND_SZ) {
    std::wstring expanded(32768, L'\0');
    const DWORD n = ExpandEnvironmentStringsW(started.c_str(), expanded.data(),
                                              static_cast<DWORD>(expanded.size()));
    if (n > 0 && n <= expanded.size()) started.assign(expanded.c_str());
  }
  const std::wstring own = win::Wide(program_);
  return !own.empty() &&
         CompareStringOrdinal(started.c_str(), static_cast<int>(started.size()), own.c_str(),
                              static_cast<int>(own.size()), TRUE) == CSTR_EQUAL;
}

FileResult WindowsAutostart::SetEnabled(bool on) {
  if (program_.empty()) return FileResult::Failure(win::ErrorText(ERROR_FILE_NOT_FOUND));
  RunKey key(KEY_SET_VALUE);
  if (key.status() != ERROR_SUCCESS) {
    return FileResult::Failure(win::ErrorText(static_cast<DWORD>(key.status())));
  }
  const std::wstring name = win::Wide(valueName_);
  LSTATUS status = ERROR_SUCCESS;
  if (on) {
    const std::wstring data = win::Wide(CommandLine());
    status = RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  } else {
    status = RegDeleteValueW(key.get(), name.c_str());
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS)
    return FileResult::Failure(win::ErrorText(static_cast<DWORD>(status)));
  return FileResult::Success();
}

}  // namespace tarnwick
