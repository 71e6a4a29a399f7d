// Snapshots of the running processes, the facts the ranking, the termination and the program
// monitor rest on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

struct ProcessInfo {
  int pid = 0;
  // Executable name without the platform's executable suffix (Linux: comm, extended to the
  // basename of argv[0] when comm was cut at 15 characters).
  std::string name;
  // User plus system processor time consumed since the process started, in nanoseconds.
  uint64_t cpuTimeNs = 0;
  // Working set (resident size) in bytes.
  uint64_t workingSetBytes = 0;
  // Start time in the platform's own units since boot; with the pid it identifies one process
  // across snapshots even when pids are reused.
  uint64_t startTicks = 0;
  // Creation time in seconds since the Unix epoch (UTC).
  int64_t creationTime = 0;
  // The owner is a system service account (Linux: uid below 1000).
  bool systemAccount = false;
};

struct ProcessSnapshot {
  std::vector<ProcessInfo> processes;  // in the platform's enumeration order
  long long takenAtNs = 0;             // monotonic time of the scan, nanoseconds
};

class IProcessLister {
 public:
  virtual ~IProcessLister() = default;
  // Scans every process now; a process that ends during the scan is left out. False when the
  // process table cannot be read at all.
  virtual bool Snapshot(ProcessSnapshot& snapshot) = 0;
};

}  // namespace tarnwick
