#include "platform/linux/proc_memory_reader.h"

#include <utility>

#include "platform/linux/proc_text.h"

namespace tarnwick {

ProcMemoryReader::ProcMemoryReader(std::string procRoot)
    : file_(std::move(procRoot) + "/meminfo") {}

int64_t ProcMemoryReader::GetRamAmount() {
  return ReadField("MemTotal:");
}

int64_t ProcMemoryReader::GetAvailableBytes() {
  return ReadField("MemAvailable:");
}

int64_t ProcMemoryReader::ReadField(std::string_view key) {
  // Both fields are among the first lines of meminfo; 16 KiB holds all of it.
  char buffer[16 * 1024];
  const ptrdiff_t n = file_.Read(buffer, sizeof buffer);
  if (n <= 0) return -1;
  const std::string_view text(buffer, static_cast<size_t>(n));
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (line.substr(0, key.size()) != key) continue;
    size_t pos = key.size();
    proc::SkipBlanks(line, pos);
    uint64_t kb = 0;
    if (!proc::ParseU64(line, pos, kb)) return -1;
    // "kB" units; a value too large for a signed 64-bit byte count is unreadable.
    if (kb > static_cast<uint64_t>(INT64_MAX) / 1024) return -1;
    return static_cast<int64_t>(kb * 1024);
  }
  return -1;
}

}  // namespace tarnwick
