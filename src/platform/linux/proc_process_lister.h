#pragma once

#include "platform/process_list.h"

namespace tarnwick {

// Linux implementation (to be written).
class ProcProcessLister final : public IProcessLister {};

}  // namespace tarnwick
