// Physical memory figures from /proc/meminfo.
#pragma once

#include <string>
#include <string_view>

#include "platform/linux/proc_text.h"
#include "platform/memory_reader.h"

namespace tarnwick {

// MemTotal and MemAvailable of <procRoot>/meminfo, converted from kB to bytes (64-bit).
class ProcMemoryReader final : public IMemoryReader {
 public:
  explicit ProcMemoryReader(std::string procRoot = "/proc");
  int64_t GetRamAmount() override;
  int64_t GetAvailableBytes() override;

 private:
  // The field's value in bytes; -1 when the file or the field cannot be read.
  int64_t ReadField(std::string_view key);
  proc::HeldFile file_;
};

}  // namespace tarnwick
