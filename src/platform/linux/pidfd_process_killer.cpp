#include "platform/linux/pidfd_process_killer.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <utility>

#include "platform/linux/proc_text.h"

namespace tarnwick {
namespace {

// The start time is the 22nd field; the fields after the command name begin with the 3rd.
constexpr int kStartTimeField = 22;

// Closes the descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<uint64_t> StatStartTicks(std::string_view statLine) {
  const size_t close = statLine.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  size_t pos = close + 1;
  for (int field = 3; field <= kStartTimeField; ++field) {
    if (pos >= statLine.size() || statLine[pos] != ' ') return std::nullopt;
    ++pos;
    if (field == kStartTimeField) break;
    const size_t blank = statLine.find(' ', pos);
    if (blank == std::string_view::npos) return std::nullopt;
    pos = blank;
  }
  uint64_t ticks = 0;
  if (!proc::ParseU64(statLine, pos, ticks)) return std::nullopt;
  return ticks;
}

PidfdProcessKiller::PidfdProcessKiller(std::string procRoot) : root_(std::move(procRoot)) {}

bool PidfdProcessKiller::KillProcess(int pid, uint64_t startTicks) {
  // The init process takes the machine down with it; this program never ends itself this way.
  if (pid <= 1 || pid == ::getpid()) return false;

  const Descriptor pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (pidfd.get() < 0) return false;
  // The pidfd holds whichever process had the pid when it was opened. Reading the start time
  // after the open makes sure it is the one the lookup found: had the pid been reused before the
  // open, the start time differs; had the process ended since, the signal below fails.
  const std::string path = root_ + "/" + std::to_string(pid) + "/stat";
  char line[2048];
  const ptrdiff_t n = proc::ReadFileOnce(AT_FDCWD, path.c_str(), line, sizeof line);
  if (n <= 0 || static_cast<size_t>(n) == sizeof line) return false;
  const std::optional<uint64_t> started =
      StatStartTicks(std::string_view(line, static_cast<size_t>(n)));
  if (!started || *started != startTicks) return false;

  return ::syscall(SYS_pidfd_send_signal, pidfd.get(), SIGKILL, nullptr, 0) == 0;
}

}  // namespace tarnwick
