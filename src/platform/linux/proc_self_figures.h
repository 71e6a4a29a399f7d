// This process's own figures from /proc/self, for the process_* metrics.
#pragma once

#include "platform/process_self.h"

namespace tarnwick {

class ProcSelfFigures final : public IProcessSelf {
 public:
  // CPU time, resident set and start time from /proc/self/stat (the boot time from /proc/stat),
  // the virtual size from /proc/self/statm, the open descriptors from /proc/self/fd and their
  // limit from RLIMIT_NOFILE.
  ProcessSelfFigures Read() override;
};

}  // namespace tarnwick
