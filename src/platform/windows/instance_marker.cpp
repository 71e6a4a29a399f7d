#include "platform/instance_marker.h"

#include <windows.h>

#include <charconv>
#include <utility>

#include "platform/windows/error_text.h"
#include "platform/windows/handle.h"
#include "platform/windows/owner_only.h"
#include "platform/windows/trusted_folder.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// RunningInstance opens the file without sharing writes for a moment: a start that meets it tries
// again for this long (milliseconds) before it takes the marker for another process's.
constexpr ULONGLONG kHoldWait = 300;
// A holder writes its pid just after it opens the file: a reader that finds it held but without a
// pid yet reads again this many times, this far apart (milliseconds).
constexpr int kPidReads = 10;
constexpr DWORD kRetryInterval = 10;
constexpr DWORD kPidLimit = 32;

std::wstring MarkerPath(const std::string& folder) {
  return win::Wide(folder + "\\" + std::string(kInstanceMarkerFileName));
}

// The pid the file holds, or 0 while its line is not whole yet.
long ReadPid(HANDLE file) {
  char text[kPidLimit];
  DWORD got = 0;
  OVERLAPPED at{};
  if (!ReadFile(file, text, kPidLimit, &got, &at) || got == 0) return 0;
  long pid = 0;
  const auto parsed = std::from_chars(text, text + got, pid);
  if (parsed.ec != std::errc() || parsed.ptr == text + got || *parsed.ptr != '\n') return 0;
  return pid > 0 ? pid : 0;
}

// The file is deleted when the handle closes, also when the process is killed.
class WindowsInstanceMarker final : public HeldInstanceMarker {
 public:
  explicit WindowsInstanceMarker(win::Handle file) : file_(std::move(file)) {}

 private:
  win::Handle file_;
};

}  // namespace

std::unique_ptr<HeldInstanceMarker> HoldInstanceMarker(const std::string& folder,
                                                       std::string& reason) {
  reason = win::UntrustedFolderReason(win::Wide(folder), folder);
  if (!reason.empty()) return nullptr;
  const std::string shown = folder + "\\" + std::string(kInstanceMarkerFileName);
  win::OwnerOnly security(false);
  if (security.attributes() == nullptr) {
    reason = "the file " + shown + ": " + win::ErrorText(GetLastError());
    return nullptr;
  }
  const ULONGLONG deadline = GetTickCount64() + kHoldWait;
  for (;;) {
    // Shared for reading only: a second holder, and a probe that shares no writing, fail with a
    // sharing violation while this handle is open.
    win::Handle file(CreateFileW(
        MarkerPath(folder).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
        security.attributes(), OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) {
      const DWORD error = GetLastError();
      if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) {
        reason = "the file " + shown + ": " + win::ErrorText(error);
        return nullptr;
      }
      if (GetTickCount64() >= deadline) {
        reason = std::string(kInstanceMarkerHeld) + std::to_string(RunningInstance(folder)) + ")";
        return nullptr;
      }
      Sleep(kRetryInterval);
      continue;
    }
    reason = win::LinkOrFolderReason(file.get(), shown);
    if (!reason.empty()) return nullptr;
    const std::string pid = std::to_string(GetCurrentProcessId()) + "\n";
    DWORD written = 0;
    if (!SetEndOfFile(file.get()) ||
        !WriteFile(file.get(), pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr) ||
        written != pid.size()) {
      reason = "the file " + shown + ": " + win::ErrorText(GetLastError());
      return nullptr;
    }
    return std::make_unique<WindowsInstanceMarker>(std::move(file));
  }
}

long RunningInstance(const std::string& folder) {
  if (!win::UntrustedFolderReason(win::Wide(folder), folder).empty()) return 0;
  const std::wstring path = MarkerPath(folder);
  // A probe that shares no writing and no deleting opens only a file no holder has open.
  {
    const win::Handle probe(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (probe) return 0;
    if (GetLastError() != ERROR_SHARING_VIOLATION) return 0;
  }
  const win::Handle file(CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file || !win::LinkOrFolderReason(file.get(), "").empty()) return 0;
  for (int read = 0; read < kPidReads; ++read) {
    if (const long pid = ReadPid(file.get()); pid > 0) return pid;
    Sleep(kRetryInterval);
  }
  return 0;
}

}  // namespace tarnwick
