// A store that keeps batches in memory and fails on demand, and a top scan that counts its calls:
// what the recorder's cases need to see when and what it writes.
#pragma once

#include <string>
#include <vector>

#include "platform/history_store.h"
#include "history/top_scan.h"

namespace tarnwick::testing {

class MemoryHistoryStore final : public IHistoryStore {
 public:
  int opens = 0;
  std::vector<HistoryBatch> appended;
  std::vector<int64_t> prunedBefore;
  StoreResult openResult;    // what Open answers
  StoreResult appendResult;  // what Append answers

  StoreResult Open() override {
    ++opens;
    return openResult;
  }
  StoreResult Append(const HistoryBatch& batch) override {
    if (appendResult.ok) appended.push_back(batch);
    return appendResult;
  }
  StoreResult PruneBefore(int64_t t) override {
    prunedBefore.push_back(t);
    return {};
  }
  std::vector<SeriesPoint> Series(int64_t, int64_t, int64_t) override { return {}; }
  std::vector<HistoryEvent> Events(int64_t, int64_t) override { return {}; }
  std::optional<int64_t> FirstSampleTime() override { return std::nullopt; }
  std::vector<TopSummaryRow> TopSummary(int64_t, int64_t, int) override { return {}; }
  std::vector<TopEntry> TopNear(int64_t, int64_t) override { return {}; }
  std::vector<TopEntry> ProcessEntries(const std::string&, int64_t, int64_t) override { return {}; }
  bool ExportRows(int64_t, int64_t, const std::function<void(const ExportRow&)>&) override {
    return true;
  }

  size_t Samples() const {
    size_t n = 0;
    for (const HistoryBatch& b : appended) n += b.samples.size();
    return n;
  }
};

class CountingTopScan final : public ITopScan {
 public:
  int calls = 0;
  std::vector<TopEntry> TopProcesses(int count) override {
    ++calls;
    std::vector<TopEntry> out;
    for (int rank = 1; rank <= count; ++rank) {
      out.push_back({0, TopKind::Cpu, rank, "cpu" + std::to_string(rank), rank, 10.0 / rank});
      out.push_back({0, TopKind::Memory, rank, "mem" + std::to_string(rank), rank, 5.0 / rank});
    }
    return out;
  }
};

}  // namespace tarnwick::testing
