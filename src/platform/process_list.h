// Snapshots of the running processes, the facts the ranking, the termination and the program
// monitor rest on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

struct ProcessInfo {
  int pid = 0;
  // The executable image's name without the platform's executable suffix, taken whole: never
  // numbered per instance (a source that numbers them, as "svchost#2", has the number cut by
  // its lister). Control characters show as "?". Names are not unique; pid and startTicks are.
  std::string name;
  // User plus system processor time consumed since the process started, in nanoseconds.
  uint64_t cpuTimeNs = 0;
  // Working set (resident size) in bytes.
  uint64_t workingSetBytes = 0;
  // Start time as an opaque 64-bit value in the platform's unit (Linux: clock ticks since boot;
  // Windows: the creation time in 100 ns units); only compared for equality. With the pid it
  // identifies one process across snapshots and to the killer even when pids are reused.
  uint64_t startTicks = 0;
  // Creation time in seconds since the Unix epoch (UTC).
  int64_t creationTime = 0;
  // The owner is a system service account, not a person (Linux: the real uid lies outside
  // login.defs' UID_MIN..UID_MAX, 1000..60000 by default; that takes in root, nobody and
  // systemd's dynamic users).
  bool systemAccount = false;
  // The real user id of the owner (POSIX); -1 where the platform has none. Read with the name,
  // so it costs nothing per scan.
  int64_t uid = -1;
  // The name is the process's own claim, not its executable's file name: on Linux, the task name
  // (`comm`, which the process may set itself) of a process whose executable link this program
  // may not read. Rules still match it; the log and the windows say it is a claim.
  bool nameClaimed = false;
  // Not a program but the system's own accounting: Windows' Idle (pid 0, whose CPU time is the
  // idle time) and System (pid 4). Left out of the CPU ranking and the program watch by this
  // flag, never by name: on Linux no process is one, and a program may call itself "System".
  bool pseudoProcess = false;
};

struct ProcessSnapshot {
  std::vector<ProcessInfo> processes;  // in the platform's enumeration order
  long long takenAtNs = 0;             // monotonic time of the scan, nanoseconds
};

class IProcessLister {
 public:
  virtual ~IProcessLister() = default;
  // Scans every live process now; a process that ends during the scan, and one that has ended
  // and waits to be collected by its parent, is left out. A process has ended only when all its
  // threads have: one whose main thread alone has ended is live and listed with the CPU time,
  // memory and name of the whole process. False when the process table cannot be read at all.
  virtual bool Snapshot(ProcessSnapshot& snapshot) = 0;
};

}  // namespace tarnwick
