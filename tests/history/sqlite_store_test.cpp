// The SQLite store on a real file in a temporary folder: the file's creation, what the queries
// answer, pruning, and the damaged, locked and unwritable files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "domain/history_time.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr int64_t kT0 = 1'800'000'000;  // a time in the history's seconds

class SqliteStoreTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir / "Tarnwick_history.sqlite";

  static HistoryBatch Batch() {
    HistoryBatch b;
    // Two minutes of 1 s samples; CPU peaks at 97% at kT0 + 70.
    for (int i = 0; i < 120; ++i) {
      b.samples.push_back({kT0 + i, i == 70 ? 97 : 20, 40 + i / 60, 4000});
    }
    b.tops.push_back({kT0 + 70, TopKind::Cpu, 1, "hog", 4242, 88.5});
    b.tops.push_back({kT0 + 71, TopKind::Cpu, 1, "hog", 4242, 91.0});
    b.tops.push_back({kT0 + 60, TopKind::Cpu, 1, "firefox", 300, 12.5});
    b.tops.push_back({kT0 + 60, TopKind::Cpu, 2, "hog", 4242, 3.0});
    b.tops.push_back({kT0 + 60, TopKind::Memory, 1, "firefox", 300, 15.4});
    HistoryEvent alert{kT0 + 72, HistoryEventKind::AlertRaised, "CPU 97% exceed 85%", 4242};
    alert.watch = HistoryWatch::Cpu;
    alert.value = 97;
    alert.top = "hog";
    alert.kill = KillOutcome::Terminated;
    alert.sent = SendState::LogOnly;
    b.events.push_back(alert);
    b.events.push_back({kT0 + 73, HistoryEventKind::ProcessTerminated, "hog", 4242, true});
    return b;
  }
};

// A history file as the first version of the program wrote it: its tables, and events whose
// facts are in their texts only.
void WriteFirstVersionFile(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const char* sql =
      "PRAGMA journal_mode=WAL;"
      "CREATE TABLE samples(t INTEGER NOT NULL, cpu INTEGER NOT NULL, mem INTEGER NOT NULL,"
      " mem_mb INTEGER NOT NULL);"
      "CREATE INDEX samples_t ON samples(t, cpu, mem);"
      "CREATE TABLE minutes(m INTEGER PRIMARY KEY, cpu INTEGER NOT NULL, mem INTEGER NOT NULL);"
      "CREATE TABLE tops(t INTEGER NOT NULL, kind INTEGER NOT NULL, rank INTEGER NOT NULL,"
      " name TEXT NOT NULL, pid INTEGER NOT NULL, share REAL NOT NULL);"
      "CREATE INDEX tops_t ON tops(t);"
      "CREATE INDEX tops_name ON tops(name, t);"
      "CREATE INDEX tops_rank ON tops(rank, t);"
      "CREATE TABLE events(t INTEGER NOT NULL, kind INTEGER NOT NULL, text TEXT NOT NULL,"
      " pid INTEGER NOT NULL, ok INTEGER NOT NULL);"
      "CREATE INDEX events_t ON events(t);"
      "INSERT INTO samples VALUES(1800000000, 97, 91, 7300), (1800000001, 40, 90, 7200);"
      "INSERT INTO minutes VALUES(1799999940, 97, 91);"
      "INSERT INTO tops VALUES(1800000000, 0, 1, 'backup', 900, 95.5);"
      "INSERT INTO events VALUES"
      "(1800000010, 4, 'Monitoring Started', 0, 0),"
      "(1800000020, 2, 'backup', 900, 1),"
      "(1800000020, 0, '12-04 03:00:50 WEB01 CPU 97% exceed 85% for 50 sec.(10 times). *backup"
      " killed(True). TOP1 : backup 95.5% @03:00:45 *backup(9),cron(1)', 0, 0),"
      "(1800000030, 0, 'Not login alert message [12-04 03:01:40 WEB01 MEMORY 91% exceed 85% for"
      " 50 sec.(10 times).TOP1 : postgres 1536.4M(18.8%) @03:01:35 *postgres(10)] can not be"
      " sent out, please login..', 0, 0),"
      "(1800000040, 1, 'MEM 40% back to normal', 0, 0),"
      "(1800000050, 3, '2026-12-04 03:05:00 WEB01 - java MEMORY usage 2048M(25.6%) exceed 25%"
      " for 20 sec.(5 times). java has been killed (success)', 0, 0),"
      "(1800000060, 3, '2026-12-04 03:06:00 WEB01 - my app CPU 80% exceed 60% for 10 sec.(3"
      " times)', 0, 0);";
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

int UserVersion(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &q, nullptr);
  const int version = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int(q, 0) : -1;
  sqlite3_finalize(q);
  sqlite3_close(db);
  return version;
}

// The facts the first version's events tell in their texts, as both kinds of access read them.
void ExpectFactsOfTheFirstVersionsEvents(IHistoryStore& store) {
  const auto events = store.Events(0, kT0 + 1000);
  ASSERT_EQ(events.size(), 7u);
  using W = HistoryWatch;
  const struct {
    HistoryWatch watch;
    double value;
    std::string top;
    KillOutcome kill;
    SendState sent;
  } expected[] = {
      {W::None, -1, "", KillOutcome::None, SendState::Unknown},
      {W::None, -1, "", KillOutcome::None, SendState::Unknown},
      {W::Cpu, 97, "backup", KillOutcome::Terminated, SendState::Unknown},
      {W::Memory, 91, "postgres", KillOutcome::None, SendState::LogOnly},
      {W::Memory, 40, "", KillOutcome::None, SendState::Unknown},
      {W::ProgramMemory, 25.6, "java", KillOutcome::Terminated, SendState::Unknown},
      {W::ProgramCpu, 80, "my app", KillOutcome::None, SendState::Unknown},
  };
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(events[i].text);
    EXPECT_EQ(events[i].watch, expected[i].watch);
    EXPECT_DOUBLE_EQ(events[i].value, expected[i].value);
    EXPECT_EQ(events[i].top, expected[i].top);
    EXPECT_EQ(events[i].kill, expected[i].kill);
    EXPECT_EQ(events[i].sent, expected[i].sent);
  }
  EXPECT_EQ(events[1].pid, 900) << "what the first version kept stays";
  EXPECT_TRUE(events[1].ok);
}

TEST_F(SqliteStoreTest, FileIsCreatedOwnerOnlyInWalMode) {
  SqliteHistoryStore store(path);
  ASSERT_TRUE(store.Open().ok);
  ASSERT_TRUE(store.Append(Batch()).ok);
  for (const std::string& file : {path, path + "-wal"}) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &q, nullptr);
  ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)), "wal");
  sqlite3_finalize(q);
  sqlite3_close(db);
}

TEST_F(SqliteStoreTest, QueriesAnswerFromWhatWasAppended) {
  SqliteHistoryStore store(path);
  ASSERT_TRUE(store.Open().ok);
  ASSERT_TRUE(store.Append(Batch()).ok);

  // Buckets of 30 s keep each bucket's highest values.
  const auto series = store.Series(kT0, kT0 + 120, 30);
  ASSERT_EQ(series.size(), 4u);
  EXPECT_EQ(series[0].t, kT0);
  EXPECT_EQ(series[2].t, kT0 + 60);
  EXPECT_EQ(series[2].cpu, 97) << "a one-second peak survives the aggregation";
  EXPECT_EQ(series[1].cpu, 20);
  EXPECT_EQ(series[3].mem, 41);
  // Buckets of whole minutes come from the minutes' own highest values.
  const auto minutes = store.Series(kT0 + 10, kT0 + 120, 60);
  ASSERT_EQ(minutes.size(), 2u);
  EXPECT_EQ(minutes[0].t, kT0) << "the minute the span starts in counts whole";
  EXPECT_EQ(minutes[1].cpu, 97);
  EXPECT_EQ(minutes[1].mem, 41);

  const auto summary = store.TopSummary(kT0, kT0 + 120, 20);
  ASSERT_EQ(summary.size(), 3u);
  EXPECT_EQ(summary[0].name, "hog");
  EXPECT_EQ(summary[0].timesOnTop, 2) << "only rank 1 counts as on top";
  EXPECT_DOUBLE_EQ(summary[0].peakShare, 91.0);
  EXPECT_EQ(summary[0].peakTime, kT0 + 71) << "the time of the peak";

  const auto near = store.TopNear(kT0 + 58, 30);
  ASSERT_EQ(near.size(), 3u) << "everything recorded at the nearest time, kT0 + 60";
  EXPECT_EQ(near[0].name, "firefox");
  EXPECT_EQ(near[1].rank, 2);
  EXPECT_EQ(near[2].kind, TopKind::Memory);
  EXPECT_TRUE(store.TopNear(kT0 - 100, 30).empty()) << "nothing that near";

  const auto hog = store.ProcessEntries("hog", kT0, kT0 + 120);
  ASSERT_EQ(hog.size(), 3u);
  EXPECT_EQ(hog[0].t, kT0 + 60);
  EXPECT_EQ(hog[2].pid, 4242);

  const auto events = store.Events(kT0, kT0 + 120);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].watch, HistoryWatch::Cpu);
  EXPECT_DOUBLE_EQ(events[0].value, 97);
  EXPECT_EQ(events[0].top, "hog");
  EXPECT_EQ(events[0].kill, KillOutcome::Terminated);
  EXPECT_EQ(events[0].pid, 4242);
  EXPECT_EQ(events[0].sent, SendState::LogOnly);
  EXPECT_EQ(events[1].kind, HistoryEventKind::ProcessTerminated);
  EXPECT_TRUE(events[1].ok);
  EXPECT_NE(events[0].id, events[1].id);
  EXPECT_TRUE(store.Events(kT0 + 100, kT0 + 120).empty()) << "the span bounds the events";
  EXPECT_EQ(store.FirstSampleTime(), kT0);
}

TEST_F(SqliteStoreTest, FileOfTheFirstVersionIsBroughtUpToDateInPlace) {
  WriteFirstVersionFile(path);
  {
    // Read-only, as the command line reads it: the facts come from the texts, the file stays.
    SqliteHistoryStore reader(path, SqliteHistoryStore::Access::ReadOnly);
    ASSERT_TRUE(reader.Open().ok);
    ExpectFactsOfTheFirstVersionsEvents(reader);
  }
  EXPECT_EQ(UserVersion(path), 0);

  {
    SqliteHistoryStore store(path);
    const StoreResult opened = store.Open();
    ASSERT_TRUE(opened.ok) << opened.error;
    EXPECT_TRUE(opened.notice.empty()) << "not moved aside";
    ExpectFactsOfTheFirstVersionsEvents(store);
    EXPECT_EQ(store.Series(0, kT0 + 10, 1).size(), 2u) << "the samples stay";
    EXPECT_EQ(store.FirstSampleTime(), kT0);
    ASSERT_TRUE(store.Append(Batch()).ok);
    const auto events = store.Events(kT0 + 72, kT0 + 73);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].top, "hog") << "new rows keep their facts";
  }
  EXPECT_EQ(UserVersion(path), 1);
  SqliteHistoryStore again(path);
  ASSERT_TRUE(again.Open().ok) << "an up-to-date file opens as it is";
  EXPECT_EQ(again.Events(0, kT0 + 1000).size(), 9u);
}

TEST_F(SqliteStoreTest, PruningDropsOnlyOlderRowsOfEveryKind) {
  SqliteHistoryStore store(path);
  ASSERT_TRUE(store.Open().ok);
  ASSERT_TRUE(store.Append(Batch()).ok);
  ASSERT_TRUE(store.PruneBefore(kT0 + 71).ok);
  EXPECT_EQ(store.Series(0, kT0 + 1000, 1).size(), 49u);
  EXPECT_EQ(store.Series(0, kT0 + 1000, 60).size(), 1u) << "the minute still partly kept stays";
  EXPECT_EQ(store.TopSummary(0, kT0 + 1000, 20).size(), 1u);
  EXPECT_EQ(store.Events(0, kT0 + 1000).size(), 2u);
}

TEST_F(SqliteStoreTest, DataSurvivesReopening) {
  {
    SqliteHistoryStore store(path);
    ASSERT_TRUE(store.Append(Batch()).ok) << "appending opens the file on first use";
  }
  SqliteHistoryStore reader(path, SqliteHistoryStore::Access::ReadOnly);
  ASSERT_TRUE(reader.Open().ok);
  EXPECT_EQ(reader.Series(kT0, kT0 + 120, 120).size(), 1u);
}

TEST_F(SqliteStoreTest, FileThatIsNoDatabaseIsMovedAsideAndANewOneStarted) {
  const std::string garbage(8192, 'x');
  WriteFile(path, garbage);
  {
    SqliteHistoryStore store(path);
    const StoreResult opened = store.Open();
    ASSERT_TRUE(opened.ok) << opened.error;
    EXPECT_EQ(opened.notice,
              "Usage history file was damaged; moved to " + path + ".damaged-1 and started anew");
    EXPECT_EQ(ReadFile(path + ".damaged-1"), garbage) << "moved, not deleted";
    ASSERT_TRUE(store.Append(Batch()).ok);
  }
  // A second damaged file does not take the place of the first one set aside.
  WriteFile(path, garbage);
  std::filesystem::remove(path + "-wal");
  SqliteHistoryStore again(path);
  EXPECT_NE(again.Open().notice.find(".damaged-2 "), std::string::npos);
  EXPECT_EQ(ReadFile(path + ".damaged-1"), garbage);
}

TEST_F(SqliteStoreTest, ReadOnlyAccessNeverCreatesOrMovesAFile) {
  SqliteHistoryStore missing(path, SqliteHistoryStore::Access::ReadOnly);
  const StoreResult none = missing.Open();
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.error, "no history has been recorded yet (" + path + ")");
  EXPECT_FALSE(std::filesystem::exists(path));

  WriteFile(path, std::string(4096, 'x'));
  SqliteHistoryStore damaged(path, SqliteHistoryStore::Access::ReadOnly);
  const StoreResult refused = damaged.Open();
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, "the file is damaged (" + path + ")");
  EXPECT_FALSE(std::filesystem::exists(path + ".damaged-1"));
}

TEST_F(SqliteStoreTest, LockedFileFailsAfterAShortWaitAndKeepsItsRows) {
  SqliteHistoryStore store(path);
  ASSERT_TRUE(store.Append(Batch()).ok);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const StoreResult locked = store.Append(Batch());
  EXPECT_FALSE(locked.ok);
  EXPECT_EQ(locked.error, "the file is locked by another program (" + path + ")");
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(store.Series(kT0, kT0 + 120, 1).size(), 120u) << "the first batch is intact";
  EXPECT_TRUE(store.Append(Batch()).ok) << "the file is usable again once released";
}

TEST_F(SqliteStoreTest, FolderThatCannotHoldTheFileIsReported) {
  WriteFile(dir / "not-a-folder", "");
  SqliteHistoryStore store(dir / "not-a-folder" + "/Tarnwick_history.sqlite");
  const StoreResult opened = store.Open();
  EXPECT_FALSE(opened.ok);
  EXPECT_EQ(opened.error.rfind("the file cannot be written (", 0), 0u) << opened.error;
}

// A history that another user could have put in place is not used, neither by the monitor nor
// by --history: the store does not write it, read it or move it aside, and it says why.
TEST_F(SqliteStoreTest, AHistoryAnotherUserCouldHavePlantedIsLeftAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
  constexpr uid_t kOtherUser = 65534;
  // A sound history of the other user's making, with a journal of its own.
  const std::string theirs = dir / "theirs";
  ASSERT_EQ(::mkdir(theirs.c_str(), 0755), 0);
  const std::string theirDb = theirs + "/Tarnwick_history.sqlite";
  {
    SqliteHistoryStore store(theirDb);
    ASSERT_TRUE(store.Append(Batch()).ok);
  }
  WriteFile(theirDb + "-wal", "not a journal of ours");
  const auto handOver = [&](const std::string& file, mode_t mode) {
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherUser), 0);
  };
  const auto copy = [](const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to);
  };
  for (const std::string& file : {theirs, theirDb, theirDb + "-wal"}) {
    ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherUser), 0);
  }
  const std::string name = "/Tarnwick_history.sqlite";
  const struct {
    const char* what;
    std::function<void(const std::string& folder)> plant;
    std::string why;  // after "the folder FOLDER" or alone
  } cases[] = {
      {"their history that anyone may write",
       [&](const std::string& folder) {
         copy(theirDb, folder + name);
         handOver(folder + name, 0666);
       },
       "the file belongs to another user (uid 65534)"},
      {"a link to their history",
       [&](const std::string& folder) {
         ASSERT_EQ(::symlink(theirDb.c_str(), (folder + name).c_str()), 0);
       },
       "the file is a symbolic link"},
      {"their journal beside our history",
       [&](const std::string& folder) {
         copy(theirDb, folder + name);
         copy(theirDb + "-wal", folder + name + "-wal");
         handOver(folder + name + "-wal", 0644);
       },
       "the file belongs to another user (uid 65534)"},
      {"a folder that links to theirs",
       [&](const std::string& folder) {
         ::rmdir(folder.c_str());
         ASSERT_EQ(::symlink(theirs.c_str(), folder.c_str()), 0);
       },
       " is a symbolic link"},
      {"a folder anyone may write",
       [&](const std::string& folder) {
         copy(theirDb, folder + name);
         ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
       },
       " may be written by other users (mode 0777)"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].what);
    const std::string folder = dir / ("case" + std::to_string(i));
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    cases[i].plant(folder);
    const auto contents = [&] {
      std::vector<std::string> found;
      for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string file = folder + name + suffix;
        found.push_back(std::filesystem::exists(file) ? ReadFile(file) : "(none)");
      }
      return found;
    };
    const std::vector<std::string> before = contents();
    const std::string why =
        (cases[i].why[0] == ' ' ? "the folder " + folder : std::string()) + cases[i].why;
    for (const auto access :
         {SqliteHistoryStore::Access::ReadWrite, SqliteHistoryStore::Access::ReadOnly}) {
      SqliteHistoryStore store(folder + name, access);
      const StoreResult opened = store.Open();
      EXPECT_FALSE(opened.ok);
      EXPECT_EQ(opened.error.rfind(why, 0), 0u) << opened.error;
      EXPECT_FALSE(store.Append(Batch()).ok);
    }
    EXPECT_EQ(contents(), before) << "the history and its journals as they were";
    EXPECT_FALSE(std::filesystem::exists(folder + name + ".damaged-1"));
    EXPECT_EQ(ReadFile(theirDb + "-wal"), "not a journal of ours");
  }
}

}  // namespace
}  // namespace tarnwick
