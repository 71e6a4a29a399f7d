#include "platform/sqlite/sqlite_history_store.h"

#include <sqlite3.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/windows/owner_only.h"
#include "platform/windows/wide_text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/trusted_paths.h"
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "domain/event_text.h"

namespace tarnwick {
namespace {

constexpr int64_t kMinute = 60;

// The tables as the first version of the file had them; Migrate brings every file, a new one
// too, up to kSchemaVersion.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS samples(t INTEGER NOT NULL, cpu INTEGER NOT NULL,"
    " mem INTEGER NOT NULL, mem_mb INTEGER NOT NULL);"
    // Covers the graph's query over short spans, so it never reads the table itself.
    "CREATE INDEX IF NOT EXISTS samples_t ON samples(t, cpu, mem);"
    // The highest values of every minute, kept as the samples are written: the graphs of long
    // spans read one row a minute instead of one a sample.
    "CREATE TABLE IF NOT EXISTS minutes(m INTEGER PRIMARY KEY, cpu INTEGER NOT NULL,"
    " mem INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS tops(t INTEGER NOT NULL, kind INTEGER NOT NULL,"
    " rank INTEGER NOT NULL, name TEXT NOT NULL, pid INTEGER NOT NULL, share REAL NOT NULL);"
    "CREATE INDEX IF NOT EXISTS tops_t ON tops(t);"
    "CREATE INDEX IF NOT EXISTS tops_name ON tops(name, t);"
    // The summary counts only the top process of each moment.
    "CREATE INDEX IF NOT EXISTS tops_rank ON tops(rank, t);"
    "CREATE TABLE IF NOT EXISTS events(t INTEGER NOT NULL, kind INTEGER NOT NULL,"
    " text TEXT NOT NULL, pid INTEGER NOT NULL, ok INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS events_t ON events(t);";

// The schema's version in the file's user_version. Version 0 kept events with their text only.
constexpr int kSchemaVersion = 1;
// What version 1 adds to the events (see HistoryEvent), one column at a time as ALTER TABLE
// takes them.
constexpr const char* kEventFactColumns[] = {
    "watch INTEGER NOT NULL DEFAULT 0", "value REAL NOT NULL DEFAULT -1",
    "top TEXT NOT NULL DEFAULT ''",     "kill INTEGER NOT NULL DEFAULT 0",
    "sent INTEGER NOT NULL DEFAULT -1",
};

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (db != nullptr) code_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr && code_ == SQLITE_OK; }
  int code() const { return code_; }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return code_ = sqlite3_step(stmt_); }
  int Run() {
    const int rc = Step();
    sqlite3_reset(stmt_);
    return rc;
  }
  int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  int Int32(int col) const { return sqlite3_column_int(stmt_, col); }
  double Real(int col) const { return sqlite3_column_double(stmt_, col); }
  std::string Text(int col) const {
    const auto* text = sqlite3_column_text(stmt_, col);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, col)));
  }
  bool Null(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int code_ = SQLITE_ERROR;
};

bool Damaged(int code) {
  const int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

#ifdef _WIN32
// Paths are UTF-8 (SQLite's own Windows file layer takes them so too).
bool Exists(const std::string& path) {
  return GetFileAttributesW(win::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates the file with a DACL for the user, SYSTEM and Administrators only, before SQLite
// opens it; its journal files inherit the owner-only DACL of the log folder.
bool CreateOwnerOnly(const std::string& path, int& error) {
  win::OwnerOnly security(false);
  if (security.attributes() == nullptr) {
    error = static_cast<int>(ERROR_ACCESS_DENIED);
    return false;
  }
  HANDLE file = CreateFileW(win::Wide(path).c_str(), GENERIC_WRITE, 0, security.attributes(),
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return error == static_cast<int>(ERROR_FILE_EXISTS);
  }
  CloseHandle(file);
  return true;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(win::Wide(from).c_str(), win::Wide(to).c_str(), 0) != FALSE;
}

void RemoveFile(const std::string& path) {
  DeleteFileW(win::Wide(path).c_str());
}

// The log folder and everything created in it carry an owner-only DACL; a history found in
// place is taken as it is.
std::string UntrustedHistoryReason(const std::string&) {
  return {};
}
#else
bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Creates the file owner-only before SQLite opens it, so it is never readable by others even
// for a moment; SQLite gives its journal files the database file's permissions.
bool CreateOwnerOnly(const std::string& path, int& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = errno;
    return error == EEXIST;
  }
  ::close(fd);
  return true;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& path) {
  ::unlink(path.c_str());
}

// Why the history, as it is found, may not be used; empty when it may. The folder and every file
// of the history that is there already (the database and its two journals) must pass the rule of
// trusted_paths.h: none is a link, all are this user's (or root's), and nobody else may write
// them, so the history neither lands in another user's folder nor reads a file planted there.
std::string UntrustedHistoryReason(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A missing folder, or a file in its place, is told by the open that follows, in its words.
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !(S_ISDIR(info.st_mode) || S_ISLNK(info.st_mode))) {
    return {};
  }
  std::string reason;
  const int folderFd = OpenTrustedFolder(folder, reason);
  if (folderFd < 0) return reason;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string file = name + suffix;
    const int fd =
        ::openat(folderFd, file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) continue;
      reason = errno == ELOOP ? "the file" + std::string(kIsALink) : std::strerror(errno);
    } else {
      reason = UntrustedFileReason(fd);
      ::close(fd);
    }
    if (!reason.empty()) {
      reason += " (" + (slash == std::string::npos ? file : folder + "/" + file) + ")";
      break;
    }
  }
  ::close(folderFd);
  return reason;
}
#endif

TopEntry EntryFrom(const Statement& s) {
  TopEntry e;
  e.t = s.Int(0);
  e.kind = s.Int32(1) == 1 ? TopKind::Memory : TopKind::Cpu;
  e.rank = s.Int32(2);
  e.name = s.Text(3);
  e.pid = s.Int32(4);
  e.share = s.Real(5);
  return e;
}

}  // namespace

SqliteHistoryStore::SqliteHistoryStore(std::string path, Access access)
    : path_(std::move(path)), access_(access) {}

SqliteHistoryStore::~SqliteHistoryStore() {
  Close();
}

void SqliteHistoryStore::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

std::string SqliteHistoryStore::Describe(int code) const {
  std::string why;
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      why = "the file is locked by another program";
      break;
    case SQLITE_FULL:
      why = "the disk is full";
      break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
      why = "the file cannot be written";
      break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      why = "the file is damaged";
      break;
    case SQLITE_IOERR:
      why = "the file cannot be read or written";
      break;
    default:
      why = sqlite3_errstr(code);
      break;
  }
  return why + " (" + path_ + ")";
}

StoreResult SqliteHistoryStore::Open() {
  if (db_ != nullptr) return {};
  StoreResult result = OpenOnce();
  if (result.ok || access_ == Access::ReadOnly || !damaged_) return result;
  const std::string aside = MoveAside();
  if (aside.empty()) return {false, Describe(SQLITE_CORRUPT), {}};
  result = OpenOnce();
  result.notice = std::string(kMovedAsideStart) + aside + std::string(kMovedAsideTail);
  return result;
}

StoreResult SqliteHistoryStore::OpenOnce() {
  damaged_ = false;
  if (access_ == Access::ReadOnly && !Exists(path_)) {
    return {false, "no history has been recorded yet (" + path_ + ")", {}};
  }
  if (std::string untrusted = UntrustedHistoryReason(path_); !untrusted.empty()) {
    return {false, std::move(untrusted), {}};
  }
  if (access_ == Access::ReadWrite) {
    int error = 0;
    if (!CreateOwnerOnly(path_, error)) return {false, Describe(SQLITE_CANTOPEN), {}};
  }
  const int flags = (access_ == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                    SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // Reading the schema is what finds a file that is not a database at all.
    rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK && access_ == Access::ReadWrite) {
    rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    // With WAL, NORMAL syncs at checkpoints only: a commit costs no flush of its own.
    if (rc == SQLITE_OK)
      rc = sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = Migrate();
  }
  if (rc == SQLITE_OK) {
    eventFacts_ = HasEventFacts();
    return {};
  }
  const int extended = db_ != nullptr ? sqlite3_extended_errcode(db_) : rc;
  Close();
  damaged_ = Damaged(rc) || Damaged(extended);
  return {false, Describe(extended), {}};
}

bool SqliteHistoryStore::HasEventFacts() {
  Statement q(db_, "SELECT count(*) FROM pragma_table_info('events') WHERE name = 'watch'");
  return q.ok() && q.Step() == SQLITE_ROW && q.Int(0) > 0;
}

// Brings a file of an earlier version up to this one in place, in one transaction: all of it or,
// on failure, nothing. A file of a later version is left as it is; it holds every column this
// version reads.
int SqliteHistoryStore::Migrate() {
  int version = 0;
  {
    Statement q(db_, "PRAGMA user_version");
    if (!q.ok()) return q.code();
    if (q.Step() == SQLITE_ROW) version = q.Int32(0);
  }
  if (version >= kSchemaVersion) return SQLITE_OK;
  int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  auto fail = [this](int code) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return code;
  };
  if (!HasEventFacts()) {
    for (const char* column : kEventFactColumns) {
      const std::string sql = std::string("ALTER TABLE events ADD COLUMN ") + column;
      rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) return fail(rc);
    }
  }
  // The rows written before: their facts as their texts tell them.
  std::vector<HistoryEvent> old;
  {
    Statement q(db_, "SELECT rowid, kind, text FROM events WHERE kind IN (0, 1, 3)");
    if (!q.ok()) return fail(q.code());
    while ((rc = q.Step()) == SQLITE_ROW) {
      HistoryEvent& e = old.emplace_back();
      e.id = q.Int(0);
      e.kind = static_cast<HistoryEventKind>(q.Int32(1));
      e.text = q.Text(2);
    }
    if (rc != SQLITE_DONE) return fail(rc);
  }
  {
    Statement update(db_,
                     "UPDATE events SET watch = ?, value = ?, top = ?, kill = ?, sent = ?"
                     " WHERE rowid = ?");
    if (!update.ok()) return fail(update.code());
    for (HistoryEvent& e : old) {
      ReadFactsFromText(e);
      rc = update.Bind(1, int64_t{static_cast<int>(e.watch)})
               .Bind(2, e.value)
               .Bind(3, e.top)
               .Bind(4, int64_t{static_cast<int>(e.kill)})
               .Bind(5, int64_t{static_cast<int>(e.sent)})
               .Bind(6, e.id)
               .Run();
      if (rc != SQLITE_DONE) return fail(rc);
    }
  }
  const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  rc = sqlite3_exec(db_, setVersion.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return fail(rc);
  rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return fail(rc);
  return SQLITE_OK;
}

std::string SqliteHistoryStore::MoveAside() {
  Close();
  for (int n = 1; n < 1000; ++n) {
    const std::string aside = path_ + ".damaged-" + std::to_string(n);
    if (Exists(aside)) continue;
    if (!RenameFile(path_, aside)) return {};
    // The journal belongs to the damaged file: it goes with it, never into the new one.
    if (Exists(path_ + "-wal")) RenameFile(path_ + "-wal", aside + "-wal");
    RemoveFile(path_ + "-shm");
    return aside;
  }
  return {};
}

StoreResult SqliteHistoryStore::Append(const HistoryBatch& batch) {
  if (db_ == nullptr) {
    StoreResult opened = Open();
    if (!opened.ok) return opened;
  }
  int code = SQLITE_OK;
  StoreResult result = AppendOnce(batch, code);
  if (result.ok || !Damaged(code)) return result;
  // Damage found while writing: the batch goes into a new file.
  const std::string aside = MoveAside();
  if (aside.empty()) return result;
  StoreResult reopened = OpenOnce();
  if (!reopened.ok) return reopened;
  result = AppendOnce(batch, code);
  result.notice = std::string(kMovedAsideStart) + aside + std::string(kMovedAsideTail);
  return result;
}

StoreResult SqliteHistoryStore::AppendOnce(const HistoryBatch& batch, int& code) {
  auto fail = [&](int rc) {
    code = sqlite3_extended_errcode(db_);
    if (code == SQLITE_OK) code = rc;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return StoreResult{false, Describe(code), {}};
  };
  int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return fail(rc);
  {
    Statement sample(db_, "INSERT INTO samples(t, cpu, mem, mem_mb) VALUES(?,?,?,?)");
    Statement minute(db_,
                     "INSERT INTO minutes(m, cpu, mem) VALUES(?,?,?) ON CONFLICT(m) DO UPDATE"
                     " SET cpu = max(cpu, excluded.cpu), mem = max(mem, excluded.mem)");
    Statement top(db_, "INSERT INTO tops(t, kind, rank, name, pid, share) VALUES(?,?,?,?,?,?)");
    Statement event(db_,
                    "INSERT INTO events(t, kind, text, pid, ok, watch, value, top, kill, sent)"
                    " VALUES(?,?,?,?,?,?,?,?,?,?)");
    if (!sample.ok()) return fail(sample.code());
    if (!minute.ok()) return fail(minute.code());
    if (!top.ok()) return fail(top.code());
    if (!event.ok()) return fail(event.code());
    for (const HistorySample& s : batch.samples) {
      rc = sample.Bind(1, s.t)
               .Bind(2, int64_t{s.cpu})
               .Bind(3, int64_t{s.mem})
               .Bind(4, s.memUsedMB)
               .Run();
      if (rc != SQLITE_DONE) return fail(rc);
      rc =
          minute.Bind(1, s.t - s.t % kMinute).Bind(2, int64_t{s.cpu}).Bind(3, int64_t{s.mem}).Run();
      if (rc != SQLITE_DONE) return fail(rc);
    }
    for (const TopEntry& e : batch.tops) {
      rc = top.Bind(1, e.t)
               .Bind(2, int64_t{static_cast<int>(e.kind)})
               .Bind(3, int64_t{e.rank})
               .Bind(4, e.name)
               .Bind(5, int64_t{e.pid})
               .Bind(6, e.share)
               .Run();
      if (rc != SQLITE_DONE) return fail(rc);
    }
    for (const HistoryEvent& e : batch.events) {
      rc = event.Bind(1, e.t)
               .Bind(2, int64_t{static_cast<int>(e.kind)})
               .Bind(3, e.text)
               .Bind(4, int64_t{e.pid})
               .Bind(5, int64_t{e.ok ? 1 : 0})
               .Bind(6, int64_t{static_cast<int>(e.watch)})
               .Bind(7, e.value)
               .Bind(8, e.top)
               .Bind(9, int64_t{static_cast<int>(e.kill)})
               .Bind(10, int64_t{static_cast<int>(e.sent)})
               .Run();
      if (rc != SQLITE_DONE) return fail(rc);
    }
  }
  rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return fail(rc);
  return {};
}

StoreResult SqliteHistoryStore::PruneBefore(int64_t t) {
  if (db_ == nullptr) return {false, Describe(SQLITE_CANTOPEN), {}};
  for (const char* sql : {"DELETE FROM samples WHERE t < ?", "DELETE FROM minutes WHERE m < ? - 59",
                          "DELETE FROM tops WHERE t < ?", "DELETE FROM events WHERE t < ?"}) {
    Statement del(db_, sql);
    if (!del.ok()) return {false, Describe(del.code()), {}};
    const int rc = del.Bind(1, t).Run();
    if (rc != SQLITE_DONE) return {false, Describe(sqlite3_extended_errcode(db_)), {}};
  }
  return {};
}

std::vector<SeriesPoint> SqliteHistoryStore::Series(int64_t from, int64_t to,
                                                    int64_t bucketSeconds) {
  std::vector<SeriesPoint> points;
  if (bucketSeconds < 1) bucketSeconds = 1;
  // Buckets of whole minutes come from the minutes' highest values; the minute the span starts
  // in counts whole.
  const bool byMinute = bucketSeconds % kMinute == 0;
  if (byMinute) from -= from % kMinute;
  Statement q(db_, byMinute ? "SELECT m / ?3 AS b, MAX(cpu), MAX(mem) FROM minutes"
                              " WHERE m >= ?1 AND m < ?2 GROUP BY b ORDER BY b"
                            : "SELECT t / ?3 AS b, MAX(cpu), MAX(mem) FROM samples"
                              " WHERE t >= ?1 AND t < ?2 GROUP BY b ORDER BY b");
  if (!q.ok()) return points;
  q.Bind(1, from).Bind(2, to).Bind(3, bucketSeconds);
  while (q.Step() == SQLITE_ROW) {
    points.push_back({q.Int(0) * bucketSeconds, q.Int32(1), q.Int32(2)});
  }
  return points;
}

std::vector<HistoryEvent> SqliteHistoryStore::Events(int64_t from, int64_t to) {
  std::vector<HistoryEvent> events;
  // A file of the first version, opened read-only, is not brought up to date: its rows get
  // their facts from their texts as they are read.
  Statement q(db_, eventFacts_
                       ? "SELECT t, kind, text, pid, ok, rowid, watch, value, top, kill, sent"
                         " FROM events WHERE t >= ? AND t < ? ORDER BY t, rowid LIMIT ?"
                       : "SELECT t, kind, text, pid, ok, rowid FROM events"
                         " WHERE t >= ? AND t < ? ORDER BY t, rowid LIMIT ?");
  if (!q.ok()) return events;
  q.Bind(1, from).Bind(2, to).Bind(3, int64_t{kEventLimit});
  while (q.Step() == SQLITE_ROW) {
    HistoryEvent e;
    e.t = q.Int(0);
    const int kind = q.Int32(1);
    e.kind = kind >= 0 && kind <= 5 ? static_cast<HistoryEventKind>(kind)
                                    : HistoryEventKind::AlertRaised;
    e.text = q.Text(2);
    e.pid = q.Int32(3);
    e.ok = q.Int32(4) != 0;
    e.id = q.Int(5);
    if (eventFacts_) {
      const int watch = q.Int32(6);
      e.watch = watch >= 0 && watch <= 4 ? static_cast<HistoryWatch>(watch) : HistoryWatch::None;
      e.value = q.Real(7);
      e.top = q.Text(8);
      const int kill = q.Int32(9);
      e.kill = kill == 1   ? KillOutcome::Terminated
               : kill == 2 ? KillOutcome::Failed
                           : KillOutcome::None;
      const int sent = q.Int32(10);
      e.sent = sent == 1 ? SendState::Sent : sent == 0 ? SendState::LogOnly : SendState::Unknown;
    } else {
      ReadFactsFromText(e);
    }
    events.push_back(std::move(e));
  }
  return events;
}

std::optional<int64_t> SqliteHistoryStore::FirstSampleTime() {
  Statement q(db_, "SELECT min(t) FROM samples");
  if (!q.ok() || q.Step() != SQLITE_ROW || q.Null(0)) return std::nullopt;
  return q.Int(0);
}

std::vector<TopSummaryRow> SqliteHistoryStore::TopSummary(int64_t from, int64_t to, int limit) {
  std::vector<TopSummaryRow> rows;
  // SQLite takes the bare column t from the row that holds MAX(share).
  Statement q(db_,
              "SELECT name, kind, COUNT(*) AS n, MAX(share), t FROM tops"
              " WHERE t >= ? AND t < ? AND rank = 1 GROUP BY name, kind"
              " ORDER BY n DESC, MAX(share) DESC, name LIMIT ?");
  if (!q.ok()) return rows;
  q.Bind(1, from).Bind(2, to).Bind(3, int64_t{limit});
  while (q.Step() == SQLITE_ROW) {
    TopSummaryRow r;
    r.name = q.Text(0);
    r.kind = q.Int32(1) == 1 ? TopKind::Memory : TopKind::Cpu;
    r.timesOnTop = q.Int32(2);
    r.peakShare = q.Real(3);
    r.peakTime = q.Int(4);
    rows.push_back(std::move(r));
  }
  return rows;
}

std::vector<TopEntry> SqliteHistoryStore::TopNear(int64_t t, int64_t within) {
  std::vector<TopEntry> entries;
  Statement nearest(db_,
                    "SELECT t FROM tops WHERE t >= ?1 - ?2 AND t <= ?1 + ?2"
                    " ORDER BY abs(t - ?1), t LIMIT 1");
  if (!nearest.ok()) return entries;
  nearest.Bind(1, t).Bind(2, within);
  if (nearest.Step() != SQLITE_ROW) return entries;
  const int64_t at = nearest.Int(0);
  Statement q(db_,
              "SELECT t, kind, rank, name, pid, share FROM tops WHERE t = ?"
              " ORDER BY kind, rank, rowid LIMIT 20");
  if (!q.ok()) return entries;
  q.Bind(1, at);
  while (q.Step() == SQLITE_ROW) entries.push_back(EntryFrom(q));
  return entries;
}

std::vector<TopEntry> SqliteHistoryStore::ProcessEntries(const std::string& name, int64_t from,
                                                         int64_t to) {
  std::vector<TopEntry> entries;
  Statement q(db_,
              "SELECT t, kind, rank, name, pid, share FROM tops"
              " WHERE name = ? AND t >= ? AND t < ? ORDER BY t, kind, rank LIMIT ?");
  if (!q.ok()) return entries;
  q.Bind(1, name).Bind(2, from).Bind(3, to).Bind(4, int64_t{kEntryLimit});
  while (q.Step() == SQLITE_ROW) entries.push_back(EntryFrom(q));
  return entries;
}

bool SqliteHistoryStore::ExportRows(int64_t from, int64_t to,
                                    const std::function<void(const ExportRow&)>& row) {
  Statement q(db_,
              "SELECT s.t, s.cpu, s.mem, s.mem_mb,"
              " (SELECT name FROM tops WHERE t = s.t AND kind = 0 AND rank = 1 LIMIT 1),"
              " (SELECT share FROM tops WHERE t = s.t AND kind = 0 AND rank = 1 LIMIT 1),"
              " (SELECT name FROM tops WHERE t = s.t AND kind = 1 AND rank = 1 LIMIT 1),"
              " (SELECT share FROM tops WHERE t = s.t AND kind = 1 AND rank = 1 LIMIT 1)"
              " FROM samples s WHERE s.t >= ? AND s.t < ? ORDER BY s.t, s.rowid");
  if (!q.ok()) return false;
  q.Bind(1, from).Bind(2, to);
  int rc = SQLITE_ROW;
  while ((rc = q.Step()) == SQLITE_ROW) {
    ExportRow r;
    r.sample = {q.Int(0), q.Int32(1), q.Int32(2), q.Int(3)};
    r.topCpuName = q.Text(4);
    r.topCpuShare = q.Real(5);
    r.topMemName = q.Text(6);
    r.topMemShare = q.Real(7);
    row(r);
  }
  return rc == SQLITE_DONE;
}

}  // namespace tarnwick
