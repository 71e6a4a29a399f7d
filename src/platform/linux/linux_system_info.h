#pragma once

#include "platform/system_info.h"

namespace tarnwick {

// Linux implementation (to be written).
class LinuxSystemInfo final : public ISystemInfo {};

}  // namespace tarnwick
