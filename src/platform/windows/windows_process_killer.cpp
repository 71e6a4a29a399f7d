#include "platform/windows/windows_process_killer.h"

#include <windows.h>

#include "platform/windows/handle.h"

namespace tarnwick {
namespace {

constexpr int kIdlePid = 0;
constexpr int kSystemPid = 4;
// How long a terminated process is given to be gone; the caller reports its end only then.
constexpr DWORD kExitWaitMs = 2000;

// SeDebugPrivilege for the lifetime of the object.
class DebugPrivilege {
 public:
  DebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      return;
    }
    token_ = win::Handle(token);
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &luid_)) return;
    ok_ = Set(SE_PRIVILEGE_ENABLED);
  }
  ~DebugPrivilege() {
    if (ok_) (void)Set(0);
  }
  DebugPrivilege(const DebugPrivilege&) = delete;
  DebugPrivilege& operator=(const DebugPrivilege&) = delete;

  // The token calls went through (the privilege itself may still be withheld from this user).
  bool ok() const { return ok_; }

 private:
  bool Set(DWORD attributes) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid_;
    privileges.Privileges[0].Attributes = attributes;
    return AdjustTokenPrivileges(token_.get(), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
  }

  win::Handle token_;
  LUID luid_{};
  bool ok_ = false;
};

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool WindowsProcessKiller::KillProcess(int pid, uint64_t startTicks) {
  if (pid <= kIdlePid || pid == kSystemPid || static_cast<DWORD>(pid) == GetCurrentProcessId()) {
    return false;
  }
  const DebugPrivilege privilege;
  if (!privilege.ok()) return false;

  const win::Handle process(
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                  static_cast<DWORD>(pid)));
  if (!process) return false;
  // The handle holds the process that had the pid when it was opened; its creation time tells
  // whether that is still the one the lookup found.
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return false;
  if (Ticks(created) != startTicks) return false;
  if (WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) return false;
  if (!TerminateProcess(process.get(), 0)) return false;
  return WaitForSingleObject(process.get(), kExitWaitMs) == WAIT_OBJECT_0;
}

}  // namespace tarnwick
