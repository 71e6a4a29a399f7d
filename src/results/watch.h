// The four watches of the monitor: the machine's CPU and memory, and the watched program's CPU
// and memory.
#pragma once

#include <cstddef>

namespace tarnwick {

enum class Watch { Cpu = 0, Memory = 1, ProgramCpu = 2, ProgramMemory = 3 };
inline constexpr size_t kWatchCount = 4;

inline bool IsProgramWatch(Watch watch) {
  return watch == Watch::ProgramCpu || watch == Watch::ProgramMemory;
}

}  // namespace tarnwick
