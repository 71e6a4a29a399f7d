#include "platform/linux/kill_capability.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace tarnwick {

bool DropKillCapability() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  const uint32_t bit = 1u << (CAP_KILL % 32);
  auto& set = data[CAP_KILL / 32];
  set.effective &= ~bit;
  set.permitted &= ~bit;
  set.inheritable &= ~bit;
  if (::syscall(SYS_capset, &header, data) != 0) return false;
  // Both need no privilege beyond what the process has or fail harmlessly: the ambient set
  // follows the permitted set anyway, and without CAP_SETPCAP the bounding set stays as it is
  // (the permitted set can never regain the capability without an exec of a privileged file).
  (void)::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_LOWER, CAP_KILL, 0, 0);
  (void)::prctl(PR_CAPBSET_DROP, CAP_KILL, 0, 0, 0);
  return true;
}

}  // namespace tarnwick
