// The fields of /proc/[pid]/stat the process services need, parsed without allocation.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarnwick::proc {

struct StatFields {
  // The task name between the first "(" and the last ")": a process chooses it freely (blanks,
  // parentheses, line breaks), so nothing after it is found by searching inside it.
  std::string_view comm;
  char state = '?';        // field 3: R, S, D, T, Z (zombie), X (dead), ...
  uint64_t utime = 0;      // field 14, clock ticks
  uint64_t stime = 0;      // field 15, clock ticks
  uint64_t startTime = 0;  // field 22, clock ticks since boot
  uint64_t rssPages = 0;   // field 24 (a negative value reads as 0)
};

// Parses one stat line; false when a field up to rss is missing or not a number.
bool ParseStat(std::string_view text, StatFields& out);

// The process has ended and only waits to be collected by its parent (zombie or dead): it uses
// nothing and cannot be terminated.
inline bool HasExited(char state) {
  return state == 'Z' || state == 'X' || state == 'x';
}

}  // namespace tarnwick::proc
