#include "platform/linux/proc_process_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "platform/linux/proc_text.h"

namespace tarnwick {
namespace {

__extension__ using U128 = unsigned __int128;

// A process's comm holds at most 15 characters (TASK_COMM_LEN - 1); a longer executable name
// was cut. (Kernel worker threads show longer names; those are taken as they are.)
constexpr size_t kCommLimit = 15;
// Kernel threads and programs owned by accounts below this uid count as the system's.
constexpr uint64_t kFirstUserUid = 1000;

// The fields of /proc/[pid]/stat a snapshot needs.
struct StatFields {
  std::string_view comm;
  uint64_t utime = 0;      // field 14
  uint64_t stime = 0;      // field 15
  uint64_t startTime = 0;  // field 22
  uint64_t rssPages = 0;   // field 24
};

// Parses one stat line. comm runs from the first "(" to the last ")": it may hold blanks and
// parentheses itself.
bool ParseStat(std::string_view text, StatFields& out) {
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return false;
  }
  out.comm = text.substr(open + 1, close - open - 1);
  // Field 3 (state) follows ") ".
  size_t pos = close + 1;
  int field = 2;
  while (field < 24) {
    // Move to the start of the next field.
    if (pos >= text.size() || text[pos] != ' ') return false;
    ++pos;
    ++field;
    switch (field) {
      case 14:
        if (!proc::ParseU64(text, pos, out.utime)) return false;
        continue;
      case 15:
        if (!proc::ParseU64(text, pos, out.stime)) return false;
        continue;
      case 22:
        if (!proc::ParseU64(text, pos, out.startTime)) return false;
        continue;
      case 24:
        // rss is printed signed; a negative value would be a kernel oddity, taken as 0.
        if (pos < text.size() && text[pos] == '-') {
          out.rssPages = 0;
          return true;
        }
        return proc::ParseU64(text, pos, out.rssPages);
      default:
        break;
    }
    const void* blank = std::memchr(text.data() + pos, ' ', text.size() - pos);
    if (blank == nullptr) return false;
    pos = static_cast<size_t>(static_cast<const char*>(blank) - text.data());
  }
  return true;
}

}  // namespace

ProcProcessLister::ProcProcessLister(std::string procRoot)
    : root_(std::move(procRoot)), dents_(64 * 1024), text_(4096) {
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

bool ProcProcessLister::Describe(int dirFd, const char* pidText, size_t pidLength,
                                 CacheEntry& entry) {
  char path[32];
  std::memcpy(path, pidText, pidLength);

  // The owner: the real uid, the first number of the "Uid:" line of status.
  std::memcpy(path + pidLength, "/status", 8);
  ptrdiff_t n = proc::ReadFile(dirFd, path, text_.data(), text_.size());
  if (n <= 0) return false;
  std::string_view status(text_.data(), static_cast<size_t>(n));
  size_t at = status.find("\nUid:");
  if (at == std::string_view::npos) return false;
  at += 5;
  proc::SkipBlanks(status, at);
  uint64_t uid = 0;
  if (!proc::ParseU64(status, at, uid)) return false;
  entry.systemAccount = uid < kFirstUserUid;

  // The name: comm, unless comm was cut at 15 characters and argv[0] tells the whole name.
  entry.name = entry.comm;
  if (entry.comm.size() == kCommLimit) {
    std::memcpy(path + pidLength, "/cmdline", 9);
    n = proc::ReadFile(dirFd, path, text_.data(), text_.size());
    if (n < 0) return false;
    std::string_view argv0(text_.data(), static_cast<size_t>(n));
    argv0 = argv0.substr(0, argv0.find('\0'));
    const size_t slash = argv0.rfind('/');
    if (slash != std::string_view::npos) argv0.remove_prefix(slash + 1);
    const std::string_view comm(entry.comm);
    if (argv0.size() > comm.size() && argv0.substr(0, comm.size()) == comm) {
      entry.name.assign(argv0);
    }
  }
  return true;
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
      StatFields fields;
      if (n <= 0 || static_cast<size_t>(n) == sizeof statText ||
          !ParseStat(std::string_view(statText, static_cast<size_t>(n)), fields)) {
        ++stats_.vanished;
        continue;
      }
      const std::string_view comm = fields.comm;

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
        if (!Describe(dirFd, name, length, fresh)) {
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
      info.workingSetBytes = fields.rssPages * pageSize_;
      info.startTicks = fields.startTime;
      info.creationTime = bootTime_ + static_cast<int64_t>(fields.startTime / ticksPerSecond_);
      info.systemAccount = entry->systemAccount;
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
