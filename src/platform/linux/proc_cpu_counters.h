#pragma once

#include "platform/cpu_counters.h"

namespace tarnwick {

// Linux implementation (to be written).
class ProcCpuCounters final : public ICpuCounterSource {};

}  // namespace tarnwick
