#include "platform/linux/inotify_settings_changes.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarnwick {

namespace {

// The names that count; anything else in the folder (the lock, the pid file, a temporary file of
// a save) does not.
constexpr std::array<std::string_view, 3> kSettingsFiles = {"setting.ini", "smtpsvr.ini",
                                                            "pgmsetting.ini"};
// How long a burst of events settles before it counts as one request.
constexpr int kSettleMs = 200;

bool IsSettingsFile(std::string_view name) {
  for (const std::string_view file : kSettingsFiles) {
    if (name == file) return true;
  }
  return false;
}

// Reads what is waiting on the inotify descriptor; true when it names a settings file.
bool DrainNamesSettingsFile(int fd) {
  bool named = false;
  alignas(struct inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) return named;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= got;) {
      struct inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const ssize_t end = at + static_cast<ssize_t>(sizeof event) + event.len;
      if (end > got) break;
      if (event.len > 0) {
        // The name is padded with NULs up to `len`.
        const char* name = buffer + at + sizeof event;
        if (IsSettingsFile(std::string_view(name, ::strnlen(name, event.len)))) named = true;
      }
      // The queue overflowed: whatever was lost may have been a settings file.
      if ((event.mask & IN_Q_OVERFLOW) != 0) named = true;
      at = end;
    }
  }
}

}  // namespace

InotifySettingsChanges::InotifySettingsChanges(const std::string& folder, IEventWait& wake)
    : wake_(wake) {
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0) {
    reason_ = std::strerror(errno);
    return;
  }
  constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_ONLYDIR;
  if (::inotify_add_watch(inotify_, folder.c_str(), kEvents) < 0 ||
      (stop_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) < 0) {
    reason_ = std::strerror(errno);
    ::close(inotify_);
    inotify_ = -1;
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

InotifySettingsChanges::~InotifySettingsChanges() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    (void)!::write(stop_, &one, sizeof one);
    thread_.join();
  }
  if (stop_ >= 0) ::close(stop_);
  if (inotify_ >= 0) ::close(inotify_);
}

bool InotifySettingsChanges::TakeRequest() {
  return requested_.exchange(false);
}

void InotifySettingsChanges::Run() {
  for (;;) {
    std::array<pollfd, 2> fds{{{inotify_, POLLIN, 0}, {stop_, POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if (!DrainNamesSettingsFile(inotify_)) continue;
    // Let the rest of the burst arrive, unless the program is ending.
    std::array<pollfd, 1> stop{{{stop_, POLLIN, 0}}};
    if (::poll(stop.data(), stop.size(), kSettleMs) > 0) return;
    DrainNamesSettingsFile(inotify_);
    requested_.store(true);
    wake_.Wake();
  }
}

}  // namespace tarnwick
