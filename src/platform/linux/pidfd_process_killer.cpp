#include "platform/linux/pidfd_process_killer.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <utility>

#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_text.h"
#include "platform/posix/descriptor.h"

namespace tarnwick {
namespace {

// A pidfd turns readable when its process has ended: every one of its threads, not only the main
// one (the process may stay a zombie until collected).
bool WaitForExit(int pidfd, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p{pidfd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count() > 0 ? left.count() : 0));
    if (r > 0) return (p.revents & POLLIN) != 0;
    if (r == 0 || errno != EINTR) return false;
  }
}

}  // namespace

PidfdProcessKiller::PidfdProcessKiller(std::string procRoot, std::chrono::milliseconds exitWait)
    : root_(std::move(procRoot)), exitWait_(exitWait) {}

bool PidfdProcessKiller::KillProcess(int pid, uint64_t startTicks) {
  // The init process takes the machine down with it; this program never ends itself this way.
  if (pid <= 1 || pid == ::getpid()) return false;

  const Descriptor pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (pidfd.get() < 0) return false;
  // The pidfd holds whichever process had the pid when it was opened. Reading the start time
  // after the open makes sure it is the one the lookup found: had the pid been reused before the
  // open, the start time differs. A process that has ended (a zombie) takes signals without
  // effect, so it is no success; one whose main thread alone has ended is live and is signalled.
  const std::string path = root_ + "/" + std::to_string(pid) + "/stat";
  char line[2048];
  const ptrdiff_t n = proc::ReadFileOnce(AT_FDCWD, path.c_str(), line, sizeof line);
  if (n <= 0 || static_cast<size_t>(n) == sizeof line) return false;
  proc::StatFields fields;
  if (!proc::ParseStat(std::string_view(line, static_cast<size_t>(n)), fields)) return false;
  if (fields.startTime != startTicks) return false;
  if (WaitForExit(pidfd.get(), std::chrono::milliseconds(0))) return false;

  if (::syscall(SYS_pidfd_send_signal, pidfd.get(), SIGKILL, nullptr, 0) != 0) return false;
  return WaitForExit(pidfd.get(), exitWait_);
}

}  // namespace tarnwick
