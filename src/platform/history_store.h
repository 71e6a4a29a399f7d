// Where the usage history is kept. The program's store is a SQLite file in the log folder
// (platform/sqlite); tests and benchmarks may use it on a temporary file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "domain/history_types.h"

namespace tarnwick {

// The outcome of a store operation. `error` says why it failed, in words for the log; `notice`
// reports something the user should know although the operation succeeded (a damaged file that
// was moved aside).
struct StoreResult {
  bool ok = true;
  std::string error;
  std::string notice;
};

// One point of a graph: the highest CPU and memory % of a time bucket, so a short peak is not
// averaged away.
struct SeriesPoint {
  int64_t t = 0;  // start of the bucket (a multiple of its length)
  int cpu = 0;
  int mem = 0;
};

// One row of the span's top processes.
struct TopSummaryRow {
  std::string name;
  TopKind kind = TopKind::Cpu;
  int timesOnTop = 0;  // samples at which it was the top process (rank 1)
  double peakShare = 0;
  int64_t peakTime = 0;
};

// One row of the CSV export: a sample with the top CPU and memory processes recorded at it.
struct ExportRow {
  HistorySample sample;
  std::string topCpuName;  // empty when none was recorded
  double topCpuShare = 0;
  std::string topMemName;
  double topMemShare = 0;
};

class IHistoryStore {
 public:
  virtual ~IHistoryStore() = default;

  // Opens the store, creating it when it does not exist.
  virtual StoreResult Open() = 0;
  // Writes the batch in one transaction: all of it or nothing.
  virtual StoreResult Append(const HistoryBatch& batch) = 0;
  // Deletes every row older than `t`.
  virtual StoreResult PruneBefore(int64_t t) = 0;

  // ---- Queries over [from, to) ----
  // Graph points, one per bucket of `bucketSeconds` that has samples, oldest first. Buckets
  // start at multiples of their length, so the same moment falls into the same bucket whatever
  // the span's start.
  virtual std::vector<SeriesPoint> Series(int64_t from, int64_t to, int64_t bucketSeconds) = 0;
  // Events oldest first (the order they were written in within one second).
  virtual std::vector<HistoryEvent> Events(int64_t from, int64_t to) = 0;
  // The time of the oldest sample kept; nullopt when there is none.
  virtual std::optional<int64_t> FirstSampleTime() = 0;
  // Processes by how often they were on top, most often first, at most `limit` rows.
  virtual std::vector<TopSummaryRow> TopSummary(int64_t from, int64_t to, int limit) = 0;
  // The entries of the recording nearest to `t` within `within` seconds (all ranks, both
  // kinds); empty when none is that near.
  virtual std::vector<TopEntry> TopNear(int64_t t, int64_t within) = 0;
  // Every entry of one process, oldest first.
  virtual std::vector<TopEntry> ProcessEntries(const std::string& name, int64_t from,
                                               int64_t to) = 0;
  // The samples with their top processes, oldest first, handed over one at a time. Returns
  // false when the rows could not be read to the end.
  virtual bool ExportRows(int64_t from, int64_t to,
                          const std::function<void(const ExportRow&)>& row) = 0;
};

}  // namespace tarnwick
