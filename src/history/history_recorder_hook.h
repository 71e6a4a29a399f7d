// How the monitor cycle, the termination and the program monitor hand their facts to the usage
// history. Each of them holds a pointer that may be null: without a history nothing is recorded.
#pragma once

#include <cstdint>
#include <string>

#include "domain/history_types.h"

namespace tarnwick {

class IHistoryRecorder {
 public:
  virtual ~IHistoryRecorder() = default;
  // One monitor cycle: total CPU %, memory used % and megabytes.
  virtual void RecordCycle(int cpu, int mem, int64_t memUsedMB) = 0;
  // The top process of a cycle that ranked processes; `pid` 0 when not known.
  virtual void RecordTop(TopKind kind, const std::string& name, int pid, double share) = 0;
  // Monitoring started or stopped (or another event that has no watch); `text` is the message as
  // the log has it.
  virtual void RecordEvent(HistoryEventKind kind, const std::string& text) = 0;
  // An alert, a back-to-normal or a program monitor alert with what it says beyond its text: the
  // watch, the value, the top process, the termination's outcome and whether it was sent or only
  // logged. Its time is the recorder's.
  virtual void RecordWatchEvent(const HistoryEvent& event) = 0;
  // A termination attempt and its result.
  virtual void RecordTermination(const std::string& name, int pid, bool terminated) = 0;
  // Writes everything recorded so far (opening the store when it is not open yet).
  virtual void Flush() = 0;
  // False once the history was switched off (its file failed); nothing is recorded then.
  virtual bool On() const = 0;
};

}  // namespace tarnwick
