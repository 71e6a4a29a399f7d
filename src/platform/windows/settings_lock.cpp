#include "platform/settings_lock.h"

#include <windows.h>

#include <utility>

#include "platform/windows/error_text.h"
#include "platform/windows/handle.h"
#include "platform/windows/owner_only.h"
#include "platform/windows/trusted_folder.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// How often a busy lock is tried again while waiting, in milliseconds.
constexpr DWORD kRetryInterval = 10;

class WindowsSettingsLock final : public HeldSettingsLock {
 public:
  explicit WindowsSettingsLock(win::Handle file) : file_(std::move(file)) {}

 private:
  // Closing the handle releases the lock.
  win::Handle file_;
};

}  // namespace

std::unique_ptr<HeldSettingsLock> LockSettingsFolder(const std::string& folder,
                                                     int waitMilliseconds, std::string& reason) {
  const std::wstring wideFolder = win::Wide(folder);
  reason = win::UntrustedFolderReason(wideFolder, folder);
  if (!reason.empty()) return nullptr;
  const std::string shown = folder + "\\" + std::string(kSettingsLockFileName);
  win::OwnerOnly security(false);
  if (security.attributes() == nullptr) {
    reason = "the file " + shown + ": " + win::ErrorText(GetLastError());
    return nullptr;
  }
  // Every --set opens it for reading and writing; the lock, not the sharing, keeps them apart.
  // A link in its place is opened as itself, and refused below.
  win::Handle file(CreateFileW(win::Wide(shown).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, security.attributes(),
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr));
  if (!file) {
    reason = "the file " + shown + ": " + win::ErrorText(GetLastError());
    return nullptr;
  }
  reason = win::LinkOrFolderReason(file.get(), shown);
  if (!reason.empty()) return nullptr;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(waitMilliseconds);
  for (;;) {
    OVERLAPPED at{};
    if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      return std::make_unique<WindowsSettingsLock>(std::move(file));
    }
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      reason = "the file " + shown + ": " + win::ErrorText(error);
      return nullptr;
    }
    if (GetTickCount64() >= deadline) {
      reason = "the settings folder " + folder + std::string(kSettingsLockBusy);
      return nullptr;
    }
    Sleep(kRetryInterval);
  }
}

}  // namespace tarnwick
