#include "platform/linux/proc_cpu_counters.h"

#include <string_view>
#include <utility>

#include "platform/linux/proc_text.h"

namespace tarnwick {
namespace {

// Fields of the "cpu" line that make up the total: user nice system idle iowait irq softirq
// steal. guest and guest_nice (fields 9 and 10) are already counted in user and nice.
constexpr int kTotalFields = 8;
constexpr int kIdleField = 3;
constexpr int kIowaitField = 4;

}  // namespace

ProcCpuCounters::ProcCpuCounters(std::string procRoot)
    : file_(std::move(procRoot) + "/stat"), buffer_(16 * 1024) {}

bool ProcCpuCounters::Read(CpuTimes& times) {
  // /proc/stat grows with the processors and the interrupt lines; read it whole.
  size_t used = 0;
  for (;;) {
    const ptrdiff_t n = file_.Read(buffer_.data(), buffer_.size());
    if (n < 0) return false;
    used = static_cast<size_t>(n);
    if (used < buffer_.size()) break;
    buffer_.resize(buffer_.size() * 2);
  }
  const std::string_view text(buffer_.data(), used);

  bool haveTotalLine = false;
  uint64_t fields[kTotalFields] = {};
  uint32_t processors = 0;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (line.size() < 4 || line.substr(0, 3) != "cpu") continue;
    if (line[3] >= '0' && line[3] <= '9') {
      ++processors;
      continue;
    }
    if (line[3] != ' ' || haveTotalLine) continue;
    size_t pos = 3;
    for (int i = 0; i < kTotalFields; ++i) {
      proc::SkipBlanks(line, pos);
      if (!proc::ParseU64(line, pos, fields[i])) return false;
    }
    haveTotalLine = true;
  }
  if (!haveTotalLine || processors == 0) return false;
  uint64_t total = 0;
  for (uint64_t f : fields) total += f;
  times.idle = fields[kIdleField] + fields[kIowaitField];
  times.total = total;
  times.processors = processors;
  return true;
}

}  // namespace tarnwick
