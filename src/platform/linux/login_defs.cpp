#include "platform/linux/login_defs.h"

#include <fcntl.h>

#include <vector>

#include "platform/linux/proc_text.h"

namespace tarnwick {
namespace {

// Far above any real login.defs (a few KiB); a bigger file is read only this far.
constexpr size_t kReadLimit = 64 * 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

LoginUidRange ParseLoginDefs(std::string_view text) {
  LoginUidRange range;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

    size_t pos = 0;
    proc::SkipBlanks(line, pos);
    const size_t nameStart = pos;
    while (pos < line.size() && !IsBlank(line[pos])) ++pos;
    const std::string_view name = line.substr(nameStart, pos - nameStart);
    uint64_t* target = name == "UID_MIN" ? &range.min : name == "UID_MAX" ? &range.max : nullptr;
    if (target == nullptr) continue;
    proc::SkipBlanks(line, pos);
    uint64_t value = 0;
    if (!proc::ParseU64(line, pos, value)) continue;
    // The whole value must be the number: "1000x" is no uid.
    if (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '#') continue;
    *target = value;
  }
  if (range.min > range.max) return LoginUidRange{};
  return range;
}

LoginUidRange ReadLoginDefs(const std::string& path) {
  std::vector<char> buffer(kReadLimit);
  const ptrdiff_t n = proc::ReadFile(AT_FDCWD, path.c_str(), buffer.data(), buffer.size());
  if (n <= 0) return LoginUidRange{};
  return ParseLoginDefs(std::string_view(buffer.data(), static_cast<size_t>(n)));
}

}  // namespace tarnwick
