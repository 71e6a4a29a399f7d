// Terminating a process on Windows under the debug privilege.
#pragma once

#include "platform/process_killer.h"

namespace tarnwick {

// Enables SeDebugPrivilege for the call (a refused privilege still lets a user end their own
// processes; a failing token call refuses the termination), opens the process, and terminates it
// only when its creation time (a FILETIME, as NtProcessLister reports it) equals `startTicks` and
// it is still running: TerminateProcess on a process that has already ended reports success.
// True only once the terminated process has ended, within 2 s. Never pid 0 (Idle), 4 (System) or
// this process. The privilege is disabled again afterwards.
class WindowsProcessKiller final : public IProcessKiller {
 public:
  bool KillProcess(int pid, uint64_t startTicks) override;
};

}  // namespace tarnwick
