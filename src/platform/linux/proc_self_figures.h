// This process's own figures from /proc/self, for the process_* metrics.
#pragma once

#include <optional>

#include "platform/process_self.h"

namespace tarnwick {

class ProcSelfFigures final : public IProcessSelf {
 public:
  // Reads the boot time once: /proc/stat is long (every interrupt's count), and it never changes.
  ProcSelfFigures();

  // CPU time, resident set and start time from /proc/self/stat, the virtual size from
  // /proc/self/statm, the open descriptors from /proc/self/fd and their limit from RLIMIT_NOFILE.
  ProcessSelfFigures Read() override;

 private:
  std::optional<double> bootTime_;  // seconds since the epoch
};

}  // namespace tarnwick
