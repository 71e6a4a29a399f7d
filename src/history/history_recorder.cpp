#include "history/history_recorder.h"

#include <utility>

#include "domain/history_time.h"

namespace tarnwick {
namespace {

constexpr long long kNsPerSecond = 1'000'000'000;

bool Due(const std::optional<long long>& last, long long now, int64_t seconds) {
  return !last || now - *last >= seconds * kNsPerSecond;
}

}  // namespace

HistoryRecorder::HistoryRecorder(IClock& clock, IHistoryStore& store,
                                 std::function<void(const std::string&)> log, ITopScan* topScan,
                                 std::function<void(const std::string&)> failed)
    : clock_(clock),
      store_(store),
      log_(std::move(log)),
      failed_(failed ? std::move(failed) : log_),
      topScan_(topScan) {
  lastWriteNs_ = clock_.MonotonicNs();
}

// What was recorded since the last write is not lost when the program ends.
HistoryRecorder::~HistoryRecorder() {
  Flush();
}

int64_t HistoryRecorder::Now() {
  return ToHistorySeconds(clock_.Now());
}

void HistoryRecorder::RecordCycle(int cpu, int mem, int64_t memUsedMB) {
  if (off_) return;
  const int64_t t = Now();
  pending_.samples.push_back({t, cpu, mem, memUsedMB});
  const long long ns = clock_.MonotonicNs();
  if (topScan_ != nullptr && Due(lastTopScanNs_, ns, kTopScanEverySeconds)) {
    lastTopScanNs_ = ns;
    for (TopEntry& entry : topScan_->TopProcesses(kTopListSize)) {
      entry.t = t;
      pending_.tops.push_back(std::move(entry));
    }
  }
  WriteIfDue();
}

void HistoryRecorder::RecordTop(TopKind kind, const std::string& name, int pid, double share) {
  if (off_ || name.empty()) return;
  pending_.tops.push_back({Now(), kind, 1, name, pid, share});
}

void HistoryRecorder::RecordEvent(HistoryEventKind kind, const std::string& text) {
  if (off_) return;
  pending_.events.push_back({Now(), kind, text, 0, false});
  if (kind == HistoryEventKind::MonitoringStopped) Flush();
}

void HistoryRecorder::RecordWatchEvent(const HistoryEvent& event) {
  if (off_) return;
  HistoryEvent& e = pending_.events.emplace_back(event);
  e.t = Now();
  e.id = 0;
}

void HistoryRecorder::RecordTermination(const std::string& name, int pid, bool terminated) {
  if (off_) return;
  pending_.events.push_back({Now(), HistoryEventKind::ProcessTerminated, name, pid, terminated});
}

void HistoryRecorder::WriteIfDue() {
  if (clock_.MonotonicNs() - lastWriteNs_ >= kWriteEverySeconds * kNsPerSecond) Flush();
}

bool HistoryRecorder::EnsureOpen() {
  if (opened_) return true;
  const StoreResult opened = store_.Open();
  if (!opened.notice.empty() && log_) log_(opened.notice);
  if (!opened.ok) {
    TurnOff(opened.error);
    return false;
  }
  opened_ = true;
  return true;
}

void HistoryRecorder::Flush() {
  lastWriteNs_ = clock_.MonotonicNs();
  // The store opens even with nothing to write: the History window reads from it.
  if (off_ || !EnsureOpen() || pending_.empty()) return;
  const StoreResult written = store_.Append(pending_);
  if (!written.notice.empty() && log_) log_(written.notice);
  if (!written.ok) {
    TurnOff(written.error);
    return;
  }
  pending_.clear();

  const long long ns = clock_.MonotonicNs();
  if (Due(lastPruneNs_, ns, kPruneEverySeconds)) {
    lastPruneNs_ = ns;
    const StoreResult pruned = store_.PruneBefore(Now() - kKeepDays * 86400);
    if (!pruned.ok) TurnOff(pruned.error);
  }
}

void HistoryRecorder::TurnOff(const std::string& reason) {
  off_ = true;
  pending_.clear();
  if (failed_) failed_(std::string(kHistoryOffStart) + reason);
}

}  // namespace tarnwick
