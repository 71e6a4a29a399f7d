#pragma once

#include "platform/memory_reader.h"

namespace tarnwick {

// Linux implementation (to be written).
class ProcMemoryReader final : public IMemoryReader {};

}  // namespace tarnwick
