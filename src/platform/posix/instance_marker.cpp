#include "platform/instance_marker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/descriptor.h"
#include "platform/posix/trusted_paths.h"

namespace tarnwick {
namespace {

// RunningInstance holds a shared lock for a moment: a start that meets it tries again for this
// long before it takes the marker for another process's.
constexpr auto kHoldWait = std::chrono::milliseconds(300);
// A holder writes its pid just after it takes the lock: a reader that finds the lock but no pid
// yet reads again this many times, this far apart.
constexpr int kPidReads = 10;
constexpr auto kRetryInterval = std::chrono::milliseconds(10);
// "4194304\n" and then some: the longest pid Linux gives.
constexpr size_t kPidLimit = 32;

std::string MarkerName() {
  return std::string(kInstanceMarkerFileName);
}

// The pid the file holds, or 0 while its line is not whole yet.
long ReadPid(int fd) {
  char text[kPidLimit];
  const ssize_t got = ::pread(fd, text, sizeof text, 0);
  if (got <= 0) return 0;
  long pid = 0;
  const auto parsed = std::from_chars(text, text + got, pid);
  if (parsed.ec != std::errc() || parsed.ptr == text + got || *parsed.ptr != '\n') return 0;
  return pid > 0 ? pid : 0;
}

// The file at the name is still the one `fd` has open: a holder that ends removes the file,
// and a start that opened it just before has locked a file no one else finds.
bool StillNamed(int dir, int fd) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 &&
         ::fstatat(dir, MarkerName().c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

class PosixInstanceMarker final : public HeldInstanceMarker {
 public:
  PosixInstanceMarker(int dir, int fd) : dir_(dir), file_(fd) {}
  // Removed while still locked, so that no one takes the lock of a file about to go.
  ~PosixInstanceMarker() override {
    if (StillNamed(dir_.get(), file_.get())) ::unlinkat(dir_.get(), MarkerName().c_str(), 0);
  }

 private:
  Descriptor dir_;
  Descriptor file_;
};

}  // namespace

std::unique_ptr<HeldInstanceMarker> HoldInstanceMarker(const std::string& folder,
                                                       std::string& reason) {
  Descriptor dir(OpenTrustedFolder(folder, reason));
  if (dir.get() < 0) return nullptr;
  const std::string shown = folder + "/" + MarkerName();
  const auto deadline = std::chrono::steady_clock::now() + kHoldWait;
  for (;;) {
    Descriptor file(OpenTrustedFileIn(dir.get(), MarkerName(), shown, reason));
    if (file.get() < 0) return nullptr;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error != EWOULDBLOCK && error != EINTR) {
        reason = "the file " + shown + ": " + std::strerror(error);
        return nullptr;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        reason = std::string(kInstanceMarkerHeld) + std::to_string(ReadPid(file.get())) + ")";
        return nullptr;
      }
      std::this_thread::sleep_for(kRetryInterval);
      continue;
    }
    if (!StillNamed(dir.get(), file.get())) continue;
    // A stale file of an earlier run may have been made with another mode.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::fchmod(file.get(), 0600) != 0 || ::ftruncate(file.get(), 0) != 0 ||
        ::pwrite(file.get(), pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
      reason = "the file " + shown + ": " + std::strerror(errno);
      ::unlinkat(dir.get(), MarkerName().c_str(), 0);
      return nullptr;
    }
    return std::make_unique<PosixInstanceMarker>(dir.Release(), file.Release());
  }
}

long RunningInstance(const std::string& folder) {
  std::string reason;
  const Descriptor dir(OpenTrustedFolder(folder, reason));
  if (dir.get() < 0) return 0;
  const Descriptor file(
      ::openat(dir.get(), MarkerName().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0 || !UntrustedFileReason(file.get()).empty()) return 0;
  // Free to lock: no running process holds it. The shared lock goes with the descriptor.
  if (::flock(file.get(), LOCK_SH | LOCK_NB) == 0) return 0;
  if (errno != EWOULDBLOCK) return 0;
  for (int read = 0; read < kPidReads; ++read) {
    if (const long pid = ReadPid(file.get()); pid > 0) return pid;
    std::this_thread::sleep_for(kRetryInterval);
  }
  return 0;
}

}  // namespace tarnwick
