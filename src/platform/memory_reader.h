// Physical memory figures of the machine (the RAM reader of the main window).
#pragma once

#include <cstdint>

namespace tarnwick {

class IMemoryReader {
 public:
  virtual ~IMemoryReader() = default;
  // Installed physical memory in bytes; -1 when it cannot be read.
  virtual int64_t GetRamAmount() = 0;
  // Memory available to programs right now, in bytes; -1 when it cannot be read.
  virtual int64_t GetAvailableBytes() = 0;
};

}  // namespace tarnwick
