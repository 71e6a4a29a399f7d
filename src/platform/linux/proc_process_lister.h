// Process snapshots from /proc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/login_defs.h"
#include "platform/process_list.h"

namespace tarnwick {

// Scans the numeric entries of /proc in the order the directory lists them (ascending pids).
// The directory and each live process's /proc/[pid]/stat stay open between scans: a warm scan
// costs one getdents64 pass and one pread per process, no open or close. A descriptor of a
// process that has ended fails its read (ESRCH) even when a new process took the pid, so a held
// descriptor never describes another process; the pid's new owner is opened afresh. The soft
// RLIMIT_NOFILE is raised toward the hard limit when the lister is made; beyond what it allows
// (a quarter of it and 32 more stay free for the rest of the program), stat is read with
// open/read/close. Name and owner are cached per (pid, start time, comm) and read again (status
// and the exe link) only for a process not in the previous scan or whose comm changed. A process is
// named by its executable image: the base name of /proc/[pid]/exe, else its task name (comm), which
// `exec -a` cannot change but the process itself can (prctl): such a name is marked as the
// process's claim, except for the kernel's own threads. The command line never names a process:
// argv[0] is whatever the starter chose. Control characters in a name show as "?". Its owner is a
// system account when its real uid lies outside the login accounts' range of login.defs. A process
// whose main thread has ended while other threads run is live: its CPU time is the whole process's
// (stat sums the threads), its name, owner and memory are read through a live thread. A process
// whose files cannot be read (it ended during the scan) and one whose threads have all ended but
// which is not yet collected (a zombie) are left out. Not thread-safe.
class ProcProcessLister final : public IProcessLister {
 public:
  explicit ProcProcessLister(std::string procRoot = "/proc",
                             const std::string& loginDefsPath = "/etc/login.defs");
  ~ProcProcessLister() override;
  ProcProcessLister(const ProcProcessLister&) = delete;
  ProcProcessLister& operator=(const ProcProcessLister&) = delete;

  bool Snapshot(ProcessSnapshot& snapshot) override;

  // What the latest scan did, for tests and the benchmark.
  struct ScanStats {
    size_t listed = 0;       // processes put into the snapshot
    size_t vanished = 0;     // numeric entries skipped because a read failed
    size_t exited = 0;       // zombies left out (every thread ended)
    size_t cacheMisses = 0;  // processes whose name and owner were read (exe link/status)
    size_t opened = 0;       // stat files opened by path (new pids, and all beyond the limit)
    size_t held = 0;         // stat descriptors held open for the next scan
  };
  // How many stat descriptors the lister may hold at most.
  size_t HoldLimit() const { return holdLimit_; }
  const ScanStats& LastScan() const { return stats_; }

 private:
  struct CacheEntry {
    int pid = 0;
    uint64_t startTicks = 0;
    std::string comm;  // as stat shows it: 15 characters at most, more for some kernel threads
    bool systemAccount = false;
    std::string name;
    bool nameClaimed = false;
    int64_t uid = -1;
    int statFd = -1;  // /proc/[pid]/stat held open, or -1 (read by path)
  };
  // Start time of a cache entry already taken into the new scan.
  static constexpr uint64_t kTaken = UINT64_MAX;
  // The cache entry of `pid`, or nullptr; `cursor` follows an ascending enumeration.
  CacheEntry* FindCached(int pid, size_t& cursor);
  // "[pid]/task/[tid]" and its terminating zero fit this size, "/stat" too.
  static constexpr size_t kTaskPathSize = 40;
  // Reads name and owner of a process not in the cache from the files under `taskPath`
  // ("[pid]" or "[pid]/task/[tid]"); false when it vanished.
  bool Describe(int dirFd, std::string_view taskPath, bool kernelThread, CacheEntry& entry);
  // For a process whose main thread has ended: writes "[pid]/task/[tid]" of a live thread into
  // `path` (kTaskPathSize bytes) and its resident pages into `rssPages`; the path's length, or 0
  // when no thread is left.
  size_t LiveThread(int dirFd, std::string_view pidText, char* path, uint64_t& rssPages);
  bool ReadBootTime();
  // Reads a stat line into `text`: through the descriptor held in `old` when it still reads,
  // else opened by `statPath`. `fd` receives the descriptor to hold on, or -1; `oldEnded` tells
  // that the held one no longer reads (its process was collected, whoever has the pid now). The
  // bytes read, or -1.
  ptrdiff_t ReadStat(CacheEntry* old, int dirFd, const char* statPath, char* text, size_t size,
                     int& fd, bool& oldEnded);
  // Opens `path` below the proc root; when the descriptors run out, gives one held back and
  // holds no more.
  int OpenStat(int dirFd, const char* path);
  void Release(int& fd);

  std::string root_;
  LoginUidRange loginUids_;
  std::vector<CacheEntry> cache_;  // the previous scan's processes, sorted by pid
  std::vector<CacheEntry> next_;
  std::vector<char> dents_;
  std::vector<char> text_;  // status and exe link reads
  uint64_t nsPerTick_ = 0;  // 1e9 / ticksPerSecond when it divides evenly, else 0
  uint64_t ticksPerSecond_ = 100;
  uint64_t pageSize_ = 4096;
  int64_t bootTime_ = 0;
  bool haveBootTime_ = false;
  ScanStats stats_;
  int dirFd_ = -1;  // the proc root, read again from its start at every scan
  size_t held_ = 0;
  size_t holdLimit_ = 0;
};

}  // namespace tarnwick
