// The exclusive lock of a settings folder, held by `tarnwickd --set` for its whole read, check
// and write of the settings files, so that two runs at the same time never lose either's values.
// It is the file ".settings.lock" in the folder: owner-only from the moment it is created, never
// a link followed, in a folder that passes the same trust rule as the settings files; flock() on
// POSIX, LockFileEx on Windows. The file stays; only the lock on it comes and goes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kSettingsLockFileName = ".settings.lock";
// Reason when another process held the lock for the whole wait, after "the settings folder".
inline constexpr std::string_view kSettingsLockBusy =
    " stays locked by another tarnwickd --set; nothing was changed";

// Held until destroyed; the system releases it also when the process dies.
class HeldSettingsLock {
 public:
  virtual ~HeldSettingsLock() = default;
};

// Waits at most `waitMilliseconds` for the lock of `folder` (which exists). Null, with `reason`,
// when the folder is not trusted, the lock file cannot be made or is a link or not a regular file,
// or another process keeps the lock for the whole wait.
std::unique_ptr<HeldSettingsLock> LockSettingsFolder(const std::string& folder,
                                                     int waitMilliseconds, std::string& reason);

}  // namespace tarnwick
