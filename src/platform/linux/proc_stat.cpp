#include "platform/linux/proc_stat.h"

#include <cstring>

#include "platform/linux/proc_text.h"

namespace tarnwick::proc {

bool ParseStat(std::string_view text, StatFields& out) {
  // The kernel writes the name whole between "(" and ")"; only the last ")" of the line closes
  // it, since the name may hold ")" itself and nothing after it does.
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return false;
  }
  out.comm = text.substr(open + 1, close - open - 1);
  // Field 3 (state) follows ") ".
  size_t pos = close + 1;
  int field = 2;
  while (field < 24) {
    // Move to the start of the next field.
    if (pos >= text.size() || text[pos] != ' ') return false;
    ++pos;
    ++field;
    switch (field) {
      case 3:
        if (pos >= text.size()) return false;
        out.state = text[pos];
        break;
      case 9:
        if (!ParseU64(text, pos, out.flags)) return false;
        continue;
      case 14:
        if (!ParseU64(text, pos, out.utime)) return false;
        continue;
      case 15:
        if (!ParseU64(text, pos, out.stime)) return false;
        continue;
      case 20:
        if (!ParseU64(text, pos, out.numThreads)) return false;
        continue;
      case 22:
        if (!ParseU64(text, pos, out.startTime)) return false;
        continue;
      case 24:
        // rss is printed signed; a negative value would be a kernel oddity, taken as 0.
        if (pos < text.size() && text[pos] == '-') {
          out.rssPages = 0;
          return true;
        }
        return ParseU64(text, pos, out.rssPages);
      default:
        break;
    }
    const void* blank = std::memchr(text.data() + pos, ' ', text.size() - pos);
    if (blank == nullptr) return false;
    pos = static_cast<size_t>(static_cast<const char*>(blank) - text.data());
  }
  return true;
}

}  // namespace tarnwick::proc
