#include "platform/linux/proc_process_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "common/text.h"
#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_text.h"
#include "platform/posix/descriptor.h"

namespace tarnwick {
namespace {

__extension__ using U128 = unsigned __int128;

// A name longer than a file name is no executable's; longer texts are cut here.
constexpr size_t kNameLimit = 255;
// What a deleted executable's link shows after its path.
constexpr std::string_view kDeletedTail = " (deleted)";

std::string_view BaseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The name as the user sees it: its length bounded, and every character that could forge a log
// line or steer a terminal shown as "?".
std::string ShownName(std::string_view name) {
  return PrintableText(name.substr(0, kNameLimit));
}

// The soft limit is raised no further than this: it is inherited by every program started from
// here, some of which walk every possible descriptor.
constexpr rlim_t kWantedDescriptors = 65536;

// Raises the soft RLIMIT_NOFILE toward the hard limit; the soft limit then in force (0 when it
// cannot be read).
rlim_t RaiseDescriptorLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  const rlim_t wanted = std::min(limit.rlim_max, kWantedDescriptors);
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted) return limit.rlim_cur;
  const rlim_t before = limit.rlim_cur;
  limit.rlim_cur = wanted;
  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 ? wanted : before;
}

// How many stat descriptors may be held under a soft limit of `soft`: a quarter of it and 32
// more stay free for the program's files, sockets and the descriptors a scan opens briefly.
size_t HoldLimitUnder(rlim_t soft) {
  if (soft == RLIM_INFINITY) soft = kWantedDescriptors;
  const rlim_t spare = 32 + soft / 4;
  return soft > spare ? static_cast<size_t>(soft - spare) : 0;
}

}  // namespace

ProcProcessLister::ProcProcessLister(std::string procRoot, const std::string& loginDefsPath)
    : root_(std::move(procRoot)),
      loginUids_(ReadLoginDefs(loginDefsPath)),
      dents_(64 * 1024),
      text_(4096) {
  const long ticks = ::sysconf(_SC_CLK_TCK);
  ticksPerSecond_ = ticks > 0 ? static_cast<uint64_t>(ticks) : 100;
  const long page = ::sysconf(_SC_PAGESIZE);
  pageSize_ = page > 0 ? static_cast<uint64_t>(page) : 4096;
  nsPerTick_ = 1'000'000'000ULL % ticksPerSecond_ == 0 ? 1'000'000'000ULL / ticksPerSecond_ : 0;
  holdLimit_ = HoldLimitUnder(RaiseDescriptorLimit());
}

ProcProcessLister::~ProcProcessLister() {
  for (CacheEntry& entry : cache_) Release(entry.statFd);
  if (dirFd_ >= 0) ::close(dirFd_);
}

void ProcProcessLister::Release(int& fd) {
  if (fd < 0) return;
  ::close(fd);
  fd = -1;
  --held_;
}

int ProcProcessLister::OpenStat(int dirFd, const char* path) {
  int fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
  if (fd >= 0 || (errno != EMFILE && errno != ENFILE)) return fd;
  // The rest of the program needs more than was left to it: one held descriptor goes back, the
  // latest taken (or one of the previous scan's not yet reached), and none is held from now on.
  bool released = false;
  for (auto it = next_.rbegin(); it != next_.rend() && !released; ++it) {
    if (it->statFd >= 0) {
      Release(it->statFd);
      released = true;
    }
  }
  for (auto it = cache_.rbegin(); it != cache_.rend() && !released; ++it) {
    if (it->startTicks != kTaken && it->statFd >= 0) {
      Release(it->statFd);
      released = true;
    }
  }
  holdLimit_ = held_;
  if (released) fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
  return fd;
}

ptrdiff_t ProcProcessLister::ReadStat(CacheEntry* old, int dirFd, const char* statPath, char* text,
                                      size_t size, int& fd, bool& oldEnded) {
  oldEnded = false;
  fd = -1;
  if (old != nullptr && old->statFd >= 0) {
    int held = std::exchange(old->statFd, -1);
    const ptrdiff_t n = proc::PreadOnce(held, text, size);
    if (n > 0) {
      fd = held;
      return n;
    }
    // ESRCH: the process it was opened on has been collected, and the pid listed now is
    // another's, however alike its start time and name.
    Release(held);
    oldEnded = true;
  }
  const int opened = OpenStat(dirFd, statPath);
  if (opened < 0) return -1;
  ++stats_.opened;
  const ptrdiff_t n = proc::PreadOnce(opened, text, size);
  if (held_ < holdLimit_) {
    fd = opened;
    ++held_;
  } else {
    ::close(opened);
  }
  return n;
}

bool ProcProcessLister::ReadBootTime() {
  char buffer[64 * 1024];
  const std::string path = root_ + "/stat";
  const ptrdiff_t n = proc::ReadFile(AT_FDCWD, path.c_str(), buffer, sizeof buffer);
  if (n <= 0) return false;
  const std::string_view text(buffer, static_cast<size_t>(n));
  size_t at = text.rfind("\nbtime ");
  if (at == std::string_view::npos) return false;
  at += 7;
  proc::SkipBlanks(text, at);
  uint64_t value = 0;
  if (!proc::ParseU64(text, at, value)) return false;
  bootTime_ = static_cast<int64_t>(value);
  haveBootTime_ = true;
  return true;
}

bool ProcProcessLister::Describe(int dirFd, std::string_view taskPath, bool kernelThread,
                                 CacheEntry& entry) {
  char path[kTaskPathSize + 16];
  std::memcpy(path, taskPath.data(), taskPath.size());
  const size_t pathLength = taskPath.size();

  // The owner: the real uid, the first number of the "Uid:" line of status.
  std::memcpy(path + pathLength, "/status", 8);
  ptrdiff_t n = proc::ReadFile(dirFd, path, text_.data(), text_.size());
  if (n <= 0) return false;
  std::string_view status(text_.data(), static_cast<size_t>(n));
  size_t at = status.find("\nUid:");
  if (at == std::string_view::npos) return false;
  at += 5;
  proc::SkipBlanks(status, at);
  uint64_t uid = 0;
  if (!proc::ParseU64(status, at, uid)) return false;
  entry.systemAccount = !loginUids_.IsLoginUid(uid);
  entry.uid = static_cast<int64_t>(uid);

  // The name is the executable image's: the task name is the program's to rewrite (Firefox's
  // content processes call themselves "Web Content"), and argv[0] the starter's to choose (`exec
  // -a /usr/sbin/sshd`). The link to the executable needs the right to trace the process; without
  // it only the task name is left, which `exec` sets from the file name but the process may
  // change: the name is then marked as its own claim.
  std::string_view name;
  std::memcpy(path + pathLength, "/exe", 5);
  n = ::readlinkat(dirFd, path, text_.data(), text_.size());
  if (n > 0 && static_cast<size_t>(n) < text_.size()) {
    std::string_view target(text_.data(), static_cast<size_t>(n));
    if (target.ends_with(kDeletedTail)) target.remove_suffix(kDeletedTail.size());
    name = BaseName(target);
  }
  entry.nameClaimed = name.empty() && !kernelThread;
  entry.name = ShownName(name.empty() ? std::string_view(entry.comm) : name);
  return true;
}

size_t ProcProcessLister::LiveThread(int dirFd, std::string_view pidText, char* path,
                                     uint64_t& rssPages) {
  char taskDir[kTaskPathSize];
  std::memcpy(taskDir, pidText.data(), pidText.size());
  std::memcpy(taskDir + pidText.size(), "/task", 6);
  const size_t taskDirLength = pidText.size() + 5;
  const Descriptor task(::openat(dirFd, taskDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (task.get() < 0) return 0;
  // The whole list, read after read: the threads that ended may stay listed as long as a tracer
  // holds them, however many they are, and the live ones come after them. A process cannot hide
  // behind a list longer than one read. The list is bounded by the system's own thread limit.
  alignas(struct dirent64) char entries[4096];
  for (ssize_t got; (got = ::getdents64(task.get(), entries, sizeof entries)) > 0;) {
    for (ssize_t offset = 0; offset < got;) {
      const auto* dent = reinterpret_cast<const struct dirent64*>(entries + offset);
      offset += dent->d_reclen;
      const std::string_view tid(dent->d_name);
      if (tid.empty() || tid.size() > 10 || tid == pidText ||
          tid.find_first_not_of("0123456789") != std::string_view::npos) {
        continue;
      }
      const size_t length = taskDirLength + 1 + tid.size();
      std::memcpy(path, taskDir, taskDirLength);
      path[taskDirLength] = '/';
      std::memcpy(path + taskDirLength + 1, tid.data(), tid.size());
      std::memcpy(path + length, "/stat", 6);
      char statText[2048];
      const ptrdiff_t n = proc::ReadFileOnce(dirFd, path, statText, sizeof statText);
      proc::StatFields fields;
      if (n <= 0 || static_cast<size_t>(n) == sizeof statText ||
          !proc::ParseStat(std::string_view(statText, static_cast<size_t>(n)), fields) ||
          proc::IsEndedState(fields.state)) {
        continue;
      }
      // The threads share one memory: a live thread's resident size is the process's.
      rssPages = fields.rssPages;
      path[length] = '\0';
      return length;
    }
  }
  return 0;
}

ProcProcessLister::CacheEntry* ProcProcessLister::FindCached(int pid, size_t& cursor) {
  // The common case walks along with the enumeration: both ascend by pid.
  while (cursor < cache_.size() && cache_[cursor].pid < pid) ++cursor;
  if (cursor < cache_.size() && cache_[cursor].pid == pid) return &cache_[cursor++];
  // A new process, or an enumeration out of order: search the whole cache.
  auto it = std::lower_bound(cache_.begin(), cache_.end(), pid,
                             [](const CacheEntry& e, int p) { return e.pid < p; });
  return it != cache_.end() && it->pid == pid ? &*it : nullptr;
}

bool ProcProcessLister::Snapshot(ProcessSnapshot& snapshot) {
  stats_ = ScanStats{};
  if (!haveBootTime_ && !ReadBootTime()) return false;
  if (dirFd_ < 0) dirFd_ = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd_ < 0) return false;
  const int dirFd = dirFd_;
  // The held directory lists the processes of now once it is wound back to its start.
  if (::lseek(dirFd, 0, SEEK_SET) != 0) return false;

  snapshot.processes.clear();
  next_.clear();
  size_t cursor = 0;  // into cache_, which is sorted by pid
  int lastPid = 0;
  bool ascending = true;
  char statPath[32];
  char statText[2048];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::getdents64(dirFd, dents_.data(), dents_.size());
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    for (ssize_t offset = 0; offset < got;) {
      const auto* dent = reinterpret_cast<const struct dirent64*>(dents_.data() + offset);
      offset += dent->d_reclen;
      const char* name = dent->d_name;
      if (name[0] < '1' || name[0] > '9') continue;
      size_t length = 0;
      int pid = 0;
      bool numeric = true;
      for (; name[length] != '\0'; ++length) {
        if (name[length] < '0' || name[length] > '9' || length >= 10) {
          numeric = false;
          break;
        }
        pid = pid * 10 + (name[length] - '0');
      }
      if (!numeric) continue;

      std::memcpy(statPath, name, length);
      std::memcpy(statPath + length, "/stat", 6);
      CacheEntry* old = FindCached(pid, cursor);
      int fd = -1;
      bool oldEnded = false;
      // One read holds the whole line (about 300 bytes); a read that fills the buffer is not a
      // stat line this parser knows.
      const ptrdiff_t n = ReadStat(old, dirFd, statPath, statText, sizeof statText, fd, oldEnded);
      if (oldEnded) old = nullptr;
      proc::StatFields fields;
      if (n <= 0 || static_cast<size_t>(n) == sizeof statText ||
          !proc::ParseStat(std::string_view(statText, static_cast<size_t>(n)), fields)) {
        Release(fd);
        ++stats_.vanished;
        continue;
      }
      // An exited process waiting for its parent is no process to rank, watch or terminate.
      if (proc::HasExited(fields)) {
        Release(fd);
        ++stats_.exited;
        continue;
      }
      const std::string_view comm = fields.comm;
      const std::string_view pidText(name, length);
      // The files a description reads: the process's own, or a live thread's when the main
      // thread has ended (its own show no executable, command line or memory any more).
      char taskPath[kTaskPathSize];
      size_t taskLength = length;
      std::memcpy(taskPath, name, length);
      taskPath[length] = '\0';
      uint64_t rssPages = fields.rssPages;
      if (proc::MainThreadEnded(fields)) {
        taskLength = LiveThread(dirFd, pidText, taskPath, rssPages);
        if (taskLength == 0) {
          Release(fd);
          ++stats_.vanished;  // its last threads ended during the scan
          continue;
        }
      }

      if (pid <= lastPid) ascending = false;
      lastPid = pid;
      CacheEntry* entry = nullptr;
      if (old != nullptr && old->startTicks == fields.startTime && old->comm == comm) {
        entry = &next_.emplace_back(std::move(*old));
        old->startTicks = kTaken;
      }
      if (entry == nullptr) {
        CacheEntry fresh;
        fresh.pid = pid;
        fresh.startTicks = fields.startTime;
        fresh.comm.assign(comm);
        ++stats_.cacheMisses;
        const bool kernelThread = (fields.flags & proc::kKernelThreadFlag) != 0;
        if (!Describe(dirFd, std::string_view(taskPath, taskLength), kernelThread, fresh)) {
          Release(fd);
          ++stats_.vanished;
          continue;
        }
        entry = &next_.emplace_back(std::move(fresh));
      }
      entry->statFd = fd;

      ProcessInfo& info = snapshot.processes.emplace_back();
      info.pid = pid;
      info.name = entry->name;
      const uint64_t ticks = fields.utime + fields.stime;
      info.cpuTimeNs = nsPerTick_ != 0 ? ticks * nsPerTick_
                                       : static_cast<uint64_t>(static_cast<U128>(ticks) *
                                                               1'000'000'000ULL / ticksPerSecond_);
      info.workingSetBytes = rssPages * pageSize_;
      info.startTicks = fields.startTime;
      info.creationTime = bootTime_ + static_cast<int64_t>(fields.startTime / ticksPerSecond_);
      info.systemAccount = entry->systemAccount;
      info.nameClaimed = entry->nameClaimed;
      info.uid = entry->uid;
      ++stats_.listed;
    }
  }
  if (!ok) {
    ::close(dirFd_);
    dirFd_ = -1;
  }
  // The processes of the previous scan that were not listed again have ended.
  for (CacheEntry& gone : cache_) Release(gone.statFd);
  // /proc lists processes by ascending pid; another order (a crafted root) is sorted here.
  if (!ascending) {
    std::sort(next_.begin(), next_.end(),
              [](const CacheEntry& a, const CacheEntry& b) { return a.pid < b.pid; });
  }
  std::swap(cache_, next_);
  stats_.held = held_;
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  snapshot.takenAtNs = static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
  return ok;
}

}  // namespace tarnwick
