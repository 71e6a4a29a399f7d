// The process table of Windows from one NtQuerySystemInformation(SystemProcessInformation) call:
// name, pid, CPU times, working set and creation time of every process at once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process_list.h"

namespace tarnwick {

// Who a process runs as, as far as the service rule cares.
enum class ProcessOwner {
  Unknown,  // the process or its token cannot be opened (other users' services, Idle, System)
  LocalSystem,
  LocalService,
  NetworkService,
  User,  // any other account
};

// The owner of a process; the real one opens the process token.
class IProcessOwnerQuery {
 public:
  virtual ~IProcessOwnerQuery() = default;
  virtual ProcessOwner OwnerOf(int pid) = 0;
};

// OpenProcess + OpenProcessToken + TokenUser, compared with the three service accounts.
class TokenOwnerQuery final : public IProcessOwnerQuery {
 public:
  ProcessOwner OwnerOf(int pid) override;
};

// The "owner is Services" rule: a service account, or an owner that cannot be read (services
// of other accounts deny the token to a normal user).
bool IsServiceOwner(ProcessOwner owner);

// The records of a SystemProcessInformation buffer (x64 layout) as ProcessInfo, without the
// owner. Names lose a trailing ".exe" in any case, control characters show as "?"; pid 0 is
// "Idle". Pids 0 and 4 (Idle and System) are marked as pseudo processes, whatever their names.
// Processes that have ended (no thread left) are left out. Records that reach past the
// buffer end the list. `startTicks` is the creation time as a FILETIME (100 ns since 1601),
// `creationTime` the same in Unix seconds.
std::vector<ProcessInfo> ParseProcessRecords(const std::byte* buffer, size_t size);

class NtProcessLister final : public IProcessLister {
 public:
  // Without an owner query the token query is used.
  explicit NtProcessLister(std::unique_ptr<IProcessOwnerQuery> owners = nullptr);
  bool Snapshot(ProcessSnapshot& snapshot) override;

 private:
  std::unique_ptr<IProcessOwnerQuery> owners_;
  std::vector<std::byte> buffer_;  // kept between scans, it rarely needs to grow again
};

}  // namespace tarnwick
