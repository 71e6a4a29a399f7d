// Feeds the /proc/[pid]/stat parser hostile lines. A task name is the process's to choose (up to
// 15 bytes from prctl, far longer from kernel threads and crafted roots), so the first byte picks
// the mode: 0 puts the input as the name into an otherwise plain line and traps unless the name
// and every field after it come back exactly; any other value parses the raw bytes, which may
// fail but must not read outside them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/linux/proc_stat.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckNameInPlainLine(std::string_view name) {
  const std::string line = "4242 (" + std::string(name) +
                           ") R 1 4242 4242 0 -1 4194560 120 0 3 0 1234 567 0 0 20 0 1 0 "
                           "987654321 12345678 4321 18446744073709551615 1 1 0 0 0 0 0\n";
  tarnwick::proc::StatFields fields;
  Check(tarnwick::proc::ParseStat(line, fields));
  Check(fields.comm == name);
  Check(fields.state == 'R');
  Check(fields.utime == 1234 && fields.stime == 567);
  Check(fields.startTime == 987654321);
  Check(fields.rssPages == 4321);
}

void CheckRawLine(std::string_view text) {
  tarnwick::proc::StatFields fields;
  if (!tarnwick::proc::ParseStat(text, fields)) return;
  // The name lies inside the text, between its first "(" and its last ")".
  Check(fields.comm.data() >= text.data());
  Check(fields.comm.data() + fields.comm.size() <= text.data() + text.size());
  Check(fields.comm.data() + fields.comm.size() == text.data() + text.rfind(')'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] == 0) {
    CheckNameInPlainLine(rest);
  } else {
    CheckRawLine(rest);
  }
  return 0;
}
