// This process's own figures on Windows, for the process_* metrics.
#pragma once

#include "platform/process_self.h"

namespace tarnwick {

class WindowsSelfFigures final : public IProcessSelf {
 public:
  // CPU time and start time from GetProcessTimes, the working set (resident) and private bytes
  // (virtual) from GetProcessMemoryInfo, and the open handles (as the open descriptors) from
  // GetProcessHandleCount. No limit of descriptors is given.
  ProcessSelfFigures Read() override;
};

}  // namespace tarnwick
