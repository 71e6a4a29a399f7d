#include "platform/linux/proc_process_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
}

ProcProcessLister::~ProcProcessLister() = default;

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
  const int dirFd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return false;

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
      // One read holds the whole line (about 300 bytes); a read that fills the buffer is not a
      // stat line this parser knows.
      const ptrdiff_t n = proc::ReadFileOnce(dirFd, statPath, statText, sizeof statText);
      proc::StatFields fields;
      if (n <= 0 || static_cast<size_t>(n) == sizeof statText ||
          !proc::ParseStat(std::string_view(statText, static_cast<size_t>(n)), fields)) {
        ++stats_.vanished;
        continue;
      }
      // An exited process waiting for its parent is no process to rank, watch or terminate.
      if (proc::HasExited(fields)) {
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
          ++stats_.vanished;  // its last threads ended during the scan
          continue;
        }
      }

      if (pid <= lastPid) ascending = false;
      lastPid = pid;
      CacheEntry* entry = nullptr;
      if (CacheEntry* old = FindCached(pid, cursor);
          old != nullptr && old->startTicks == fields.startTime && old->comm == comm) {
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
          ++stats_.vanished;
          continue;
        }
        entry = &next_.emplace_back(std::move(fresh));
      }

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
  ::close(dirFd);
  // /proc lists processes by ascending pid; another order (a crafted root) is sorted here.
  if (!ascending) {
    std::sort(next_.begin(), next_.end(),
              [](const CacheEntry& a, const CacheEntry& b) { return a.pid < b.pid; });
  }
  std::swap(cache_, next_);
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  snapshot.takenAtNs = static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
  return ok;
}

}  // namespace tarnwick
