#include "platform/settings_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/descriptor.h"
#include "platform/posix/trusted_paths.h"

namespace tarnwick {
namespace {

// How often a busy lock is tried again while waiting.
constexpr auto kRetryInterval = std::chrono::milliseconds(10);

class PosixSettingsLock final : public HeldSettingsLock {
 public:
  explicit PosixSettingsLock(int fd) : file_(fd) {}

 private:
  // Closing the descriptor releases the flock.
  Descriptor file_;
};

}  // namespace

std::unique_ptr<HeldSettingsLock> LockSettingsFolder(const std::string& folder,
                                                     int waitMilliseconds, std::string& reason) {
  const Descriptor dir(OpenTrustedFolder(folder, reason));
  if (dir.get() < 0) return nullptr;
  const std::string shown = folder + "/" + std::string(kSettingsLockFileName);
  Descriptor file(OpenTrustedFileIn(dir.get(), std::string(kSettingsLockFileName), shown, reason));
  if (file.get() < 0) return nullptr;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
  for (;;) {
    if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0) {
      return std::make_unique<PosixSettingsLock>(file.Release());
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK) {
      reason = "the file " + shown + ": " + std::strerror(error);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      reason = "the settings folder " + folder + std::string(kSettingsLockBusy);
      return nullptr;
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
}

}  // namespace tarnwick
