// The usage history's recorder: collects samples, top processes and events in memory and writes
// them to the store in one transaction every 30 seconds and whenever monitoring stops, so a
// short cycle costs no disk flush per sample. Once a day it removes what is older than 31 days.
// A store that cannot be opened or written switches the history off for the rest of the run
// with one log line; monitoring goes on either way.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "history/history_recorder_hook.h"
#include "history/top_scan.h"
#include "platform/history_store.h"

namespace tarnwick {

inline constexpr std::string_view kHistoryOffStart = "Usage history is off: ";

class HistoryRecorder final : public IHistoryRecorder {
 public:
  static constexpr int64_t kWriteEverySeconds = 30;
  static constexpr int64_t kTopScanEverySeconds = 60;
  static constexpr int kTopListSize = 5;
  static constexpr int64_t kKeepDays = 31;
  static constexpr int64_t kPruneEverySeconds = 86400;

  // `log` writes one line to the activity log; `failed`, when given, writes the line that the
  // history is off instead. `topScan` may be null (no once-a-minute list).
  HistoryRecorder(IClock& clock, IHistoryStore& store, std::function<void(const std::string&)> log,
                  ITopScan* topScan = nullptr, std::function<void(const std::string&)> failed = {});
  ~HistoryRecorder() override;

  void RecordCycle(int cpu, int mem, int64_t memUsedMB) override;
  void RecordTop(TopKind kind, const std::string& name, int pid, double share) override;
  void RecordEvent(HistoryEventKind kind, const std::string& text) override;
  void RecordWatchEvent(const HistoryEvent& event) override;
  void RecordTermination(const std::string& name, int pid, bool terminated) override;
  void Flush() override;

  bool On() const override { return !off_; }
  size_t Pending() const { return pending_.size(); }

 private:
  int64_t Now();
  void WriteIfDue();
  bool EnsureOpen();
  void TurnOff(const std::string& reason);

  IClock& clock_;
  IHistoryStore& store_;
  std::function<void(const std::string&)> log_;
  std::function<void(const std::string&)> failed_;
  ITopScan* topScan_;
  HistoryBatch pending_;
  bool off_ = false;
  bool opened_ = false;
  long long lastWriteNs_ = 0;
  std::optional<long long> lastTopScanNs_;
  std::optional<long long> lastPruneNs_;
};

}  // namespace tarnwick
