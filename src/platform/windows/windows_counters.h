// CPU counters and memory figures of Windows.
#pragma once

#include "platform/cpu_counters.h"
#include "platform/memory_reader.h"

namespace tarnwick {

// GetSystemTimes: idle, and kernel plus user time (kernel time includes idle), in 100 ns units
// summed over every processor of the machine.
class WindowsCpuCounters final : public ICpuCounterSource {
 public:
  bool Read(CpuTimes& times) override;
};

// GlobalMemoryStatusEx: installed and available physical memory in bytes (64-bit figures).
class WindowsMemoryReader final : public IMemoryReader {
 public:
  int64_t GetRamAmount() override;
  int64_t GetAvailableBytes() override;
};

}  // namespace tarnwick
