// The fields of /proc/[pid]/stat the process services need, parsed without allocation.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarnwick::proc {

struct StatFields {
  // The task name between the first "(" and the last ")": a process chooses it freely (blanks,
  // parentheses, line breaks), so nothing after it is found by searching inside it.
  std::string_view comm;
  char state = '?';         // field 3: R, S, D, T, Z (zombie), X (dead), ...
  uint64_t flags = 0;       // field 9: the kernel's PF_* flags of the task
  uint64_t utime = 0;       // field 14, clock ticks
  uint64_t stime = 0;       // field 15, clock ticks
  uint64_t numThreads = 0;  // field 20
  uint64_t startTime = 0;   // field 22, clock ticks since boot
  uint64_t rssPages = 0;    // field 24 (a negative value reads as 0)
};

// Parses one stat line; false when a field up to rss is missing or not a number.
bool ParseStat(std::string_view text, StatFields& out);

// PF_KTHREAD: a thread of the kernel's own, which no user can start or name.
inline constexpr uint64_t kKernelThreadFlag = 0x00200000;

// The state of a task that has ended (zombie or dead).
inline bool IsEndedState(char state) {
  return state == 'Z' || state == 'X' || state == 'x';
}

// The stat line of /proc/[pid]/stat speaks for the whole process but shows the state of its
// main thread. A main thread that has ended (pthread_exit) stays a zombie while the other
// threads run on; num_threads still counts it until the last one is gone.

// The whole process has ended and only waits to be collected by its parent: it uses nothing and
// cannot be terminated.
inline bool HasExited(const StatFields& fields) {
  return IsEndedState(fields.state) && fields.numThreads <= 1;
}

// The main thread has ended while other threads run: the process is live, but its own stat line
// shows no memory (rss 0) and its exe and cmdline cannot be read; a live thread's can.
inline bool MainThreadEnded(const StatFields& fields) {
  return IsEndedState(fields.state) && fields.numThreads > 1;
}

}  // namespace tarnwick::proc
