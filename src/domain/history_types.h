// What the usage history keeps: one sample per monitor cycle, the processes that were on top,
// and the events of monitoring. Times are local seconds (see history_time.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// One monitor cycle.
struct HistorySample {
  int64_t t = 0;
  int cpu = 0;            // total CPU %, -1 when the reading failed
  int mem = 0;            // memory used %
  int64_t memUsedMB = 0;  // memory used, whole megabytes
};

enum class TopKind { Cpu = 0, Memory = 1 };

// A process that was on top at a moment: rank 1 is the top one. The share is of the whole
// machine (CPU over the measured interval, memory of the total).
struct TopEntry {
  int64_t t = 0;
  TopKind kind = TopKind::Cpu;
  int rank = 1;
  std::string name;
  int pid = 0;  // 0 when the ranking did not name one
  double share = 0;
};

enum class HistoryEventKind {
  AlertRaised = 0,
  BackToNormal = 1,
  ProcessTerminated = 2,
  ProgramAlert = 3,
  MonitoringStarted = 4,
  MonitoringStopped = 5,
};

// The event kinds as the history prints and stores them.
std::string_view EventKindName(HistoryEventKind kind);

// The watch an alert or a back-to-normal belongs to: the machine's CPU or memory, or the
// watched program's. Its markers go on that watch's graph only.
enum class HistoryWatch { None = 0, Cpu = 1, Memory = 2, ProgramCpu = 3, ProgramMemory = 4 };
// "CPU", "Memory", "Program CPU", "Program memory"; empty for None.
std::string_view WatchName(HistoryWatch watch);

// Whether the alert came with a termination, and how it ended.
enum class KillOutcome { None = 0, Terminated = 1, Failed = 2 };

// Whether an alert or notice was handed on to be sent as SMS and mail, or only written to the
// log (a repeat, not logged in to the service, alerts switched off). Unknown for rows written
// before the history kept it, and for events that are never sent.
enum class SendState { Unknown = -1, LogOnly = 0, Sent = 1 };

struct HistoryEvent {
  int64_t t = 0;
  HistoryEventKind kind = HistoryEventKind::AlertRaised;
  std::string text;  // the log line's message, or the process's name for a termination
  int pid = 0;       // terminations, and alerts that came with one: the process's pid
  bool ok = false;   // terminations only: the process was terminated
  // Alerts and back-to-normal: the watch, its value in percent (-1 when not known), the process
  // that was most often on top (the watched program for its own alerts), the termination's
  // outcome and whether it was sent.
  HistoryWatch watch = HistoryWatch::None;
  double value = -1;
  std::string top{};
  KillOutcome kill = KillOutcome::None;
  SendState sent = SendState::Unknown;
  int64_t id = 0;  // the store's own number for the row; 0 before it is written
};

// Everything recorded since the last write; written in one transaction.
struct HistoryBatch {
  std::vector<HistorySample> samples;
  std::vector<TopEntry> tops;
  std::vector<HistoryEvent> events;
  bool empty() const { return samples.empty() && tops.empty() && events.empty(); }
  size_t size() const { return samples.size() + tops.size() + events.size(); }
  void clear() {
    samples.clear();
    tops.clear();
    events.clear();
  }
};

}  // namespace tarnwick
