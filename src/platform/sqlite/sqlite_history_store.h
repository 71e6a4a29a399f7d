// The usage history in one SQLite file (WAL journal), created owner-only on first use. A file
// that is not a database, or that turns out damaged, is moved aside with its journal and a new
// one is started; a locked, read-only or full file is reported, never waited on for long. A file
// written by an earlier version is brought up to date in place when it is opened for writing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/history_store.h"

struct sqlite3;

namespace tarnwick {

inline constexpr std::string_view kHistoryFileName = "Tarnwick_history.sqlite";
inline constexpr std::string_view kMovedAsideStart = "Usage history file was damaged; moved to ";
inline constexpr std::string_view kMovedAsideTail = " and started anew";

class SqliteHistoryStore final : public IHistoryStore {
 public:
  enum class Access { ReadWrite, ReadOnly };
  // How long a statement waits for another program's lock before it gives up.
  static constexpr int kBusyTimeoutMs = 250;
  // Row limits of the queries that are shown or printed whole.
  static constexpr int kEventLimit = 10000;
  static constexpr int kEntryLimit = 10000;

  // ReadOnly never creates, changes or moves the file (the history command line).
  explicit SqliteHistoryStore(std::string path, Access access = Access::ReadWrite);
  ~SqliteHistoryStore() override;
  SqliteHistoryStore(const SqliteHistoryStore&) = delete;
  SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

  StoreResult Open() override;
  StoreResult Append(const HistoryBatch& batch) override;
  StoreResult PruneBefore(int64_t t) override;
  std::vector<SeriesPoint> Series(int64_t from, int64_t to, int64_t bucketSeconds) override;
  std::vector<HistoryEvent> Events(int64_t from, int64_t to) override;
  std::optional<int64_t> FirstSampleTime() override;
  std::vector<TopSummaryRow> TopSummary(int64_t from, int64_t to, int limit) override;
  std::vector<TopEntry> TopNear(int64_t t, int64_t within) override;
  std::vector<TopEntry> ProcessEntries(const std::string& name, int64_t from, int64_t to) override;
  bool ExportRows(int64_t from, int64_t to,
                  const std::function<void(const ExportRow&)>& row) override;

  const std::string& path() const { return path_; }

 private:
  // Opens the file once; sets damaged_ when it is not a sound database.
  StoreResult OpenOnce();
  StoreResult AppendOnce(const HistoryBatch& batch, int& code);
  // Closes the file and moves it and its journal aside; the new name, or empty on failure.
  std::string MoveAside();
  std::string Describe(int code) const;
  void Close();
  // Brings the file's tables up to this version's; an SQLite result code.
  int Migrate();
  // The events table has the columns of the facts beyond the text.
  bool HasEventFacts();

  std::string path_;
  Access access_;
  sqlite3* db_ = nullptr;
  bool damaged_ = false;    // the last OpenOnce found a file that is not a sound database
  bool eventFacts_ = true;  // the events have their facts' columns (see Migrate)
};

}  // namespace tarnwick
