// The history for scripts: history times, durations, the command line, the summary and the CSV
// export, whose quoting must keep a hostile process name in one field and out of a
// spreadsheet's formulas, into a file only its owner reads.
#include "history/history_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "common/text.h"
#include "domain/history_time.h"
#include "history/history_command_line.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "support/file_mode.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::TempDir;

// Splits RFC 4180 text into records of fields (the reader a spreadsheet would use).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    std::string& field = records.back().back();
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      records.emplace_back(1);
    } else {
      field += c;
    }
  }
  if (records.back().size() == 1 && records.back()[0].empty()) records.pop_back();
  return records;
}

TEST(HistoryTime, SecondsRoundTripAcrossMonthYearAndLeapDay) {
  for (const LocalTime t : {LocalTime{1970, 1, 1, 0, 0, 0}, LocalTime{2028, 2, 29, 23, 59, 59},
                            LocalTime{2026, 12, 31, 23, 59, 59}, LocalTime{2027, 1, 1, 0, 0, 0}}) {
    EXPECT_EQ(FromHistorySeconds(ToHistorySeconds(t)), t) << YmdHms(t);
  }
  EXPECT_EQ(ToHistorySeconds({2027, 1, 1, 0, 0, 0}) - ToHistorySeconds({2026, 12, 31, 23, 59, 59}),
            1);
  EXPECT_EQ(ToHistorySeconds({2028, 3, 1, 0, 0, 0}) - ToHistorySeconds({2028, 2, 28, 0, 0, 0}),
            2 * 86400);
}

TEST(HistoryTime, Durations) {
  const struct {
    const char* text;
    std::optional<int64_t> seconds;
  } cases[] = {{"90", 90},
               {"90s", 90},
               {"30m", 1800},
               {"6h", 21600},
               {"1d", 86400},
               {"2w", 1209600},
               {"0h", std::nullopt},
               {"", std::nullopt},
               {"h", std::nullopt},
               {"-1d", std::nullopt},
               {"1.5h", std::nullopt},
               {"9999999999d", std::nullopt},
               {"1y", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseDuration(c.text), c.seconds) << c.text;
}

TEST(HistoryCommandLine, OptionsAreReadOrRefused) {
  using Mode = HistoryCommand::Mode;
  const struct {
    std::vector<std::string> args;
    Mode mode;
    int64_t since;
    std::string file;
  } cases[] = {
      {{}, Mode::None, 86400, ""},
      {{"-platform", "offscreen"}, Mode::None, 86400, ""},
      {{"--history"}, Mode::Summary, 86400, ""},
      {{"--history", "--since", "6h"}, Mode::Summary, 21600, ""},
      {{"--since", "2d", "--history"}, Mode::Summary, 172800, ""},
      {{"--export-history", "out.csv", "--since", "1w"}, Mode::Export, 604800, "out.csv"},
      {{"--export-history"}, Mode::Invalid, 86400, ""},
      {{"--history", "--since"}, Mode::Invalid, 86400, ""},
      {{"--history", "--since", "soon"}, Mode::Invalid, 86400, ""},
      {{"--history", "--export-history", "x.csv"}, Mode::Invalid, 86400, ""},
      {{"--since", "1h"}, Mode::Invalid, 3600, ""},
  };
  for (const auto& c : cases) {
    const HistoryCommand command = ParseHistoryCommand(c.args);
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    EXPECT_EQ(command.mode, c.mode) << joined;
    if (c.mode == Mode::Invalid) {
      EXPECT_NE(command.error.find("usage: "), std::string::npos) << joined;
    } else {
      EXPECT_EQ(command.since, c.since) << joined;
      EXPECT_EQ(command.file, c.file) << joined;
    }
  }
}

// A name stays one field whatever it holds, and a spreadsheet shows it as text: a name that
// would start a formula gets a quote in front.
TEST(HistoryCsv, HostileNamesStayOneTextFieldEach) {
  const struct {
    std::string name;
    std::string cell;  // as a spreadsheet reads it
  } cases[] = {
      {"plain", "plain"},
      {"a,b", "a,b"},
      {"say \"hi\"", "say \"hi\""},
      {"\"", "\""},
      {"line\r\nbreak", "line\r\nbreak"},
      {",\",\"", ",\",\""},
      {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
      {"+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0"},
      {"-2+3", "'-2+3"},
      {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
      {"\t=1+1", "'\t=1+1"},
      {"\r=1,1", "'\r=1,1"},
      {"a=1", "a=1"},
      {"", ""},
  };
  const size_t count = std::size(cases);
  std::string csv = CsvHeader();
  for (size_t i = 0; i < count; ++i) {
    ExportRow row;
    row.sample = {ToHistorySeconds({2026, 12, 4, 3, 0, static_cast<int>(i)}), 90, 50, 5000};
    row.topCpuName = cases[i].name;
    row.topCpuShare = 42.25;
    row.topMemName = cases[count - 1 - i].name;
    row.topMemShare = 7;
    csv += CsvLine(row);
  }
  const auto records = ParseCsv(csv);
  ASSERT_EQ(records.size(), count + 1);
  EXPECT_EQ(records[0].size(), 8u);
  for (size_t i = 0; i < count; ++i) {
    const auto& r = records[i + 1];
    ASSERT_EQ(r.size(), 8u) << cases[i].name;
    EXPECT_EQ(r[0], "2026-12-04 03:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    EXPECT_EQ(r[4], cases[i].cell);
    EXPECT_EQ(r[5], cases[i].name.empty() ? "" : "42.2");
    EXPECT_EQ(r[6], cases[count - 1 - i].cell);
  }
  EXPECT_EQ(CsvField("plain"), "plain") << "only fields that need quotes get them";
}

class HistoryCommandTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir / "Tarnwick_history.sqlite";
  int64_t now = ToHistorySeconds({2026, 12, 4, 9, 0, 0});
  std::ostringstream out, err;

  void Record() {
    SqliteHistoryStore store(path);
    HistoryBatch b;
    for (int i = 0; i < 10; ++i) b.samples.push_back({now - 7200 + i * 60, 95, 40, 4000});
    b.samples.push_back({now - 60, 10, 40, 4000});
    b.tops.push_back({now - 7200, TopKind::Cpu, 1, "evil,\"name\"\x1b[2J", 66, 93.5});
    b.tops.push_back({now - 7140, TopKind::Cpu, 1, "evil,\"name\"\x1b[2J", 66, 94.5});
    b.events.push_back({now - 7100, HistoryEventKind::AlertRaised, "CPU 95% exceed 85%", 0, false});
    b.events.push_back({now - 7090, HistoryEventKind::ProcessTerminated, "hog", 77, false});
    ASSERT_TRUE(store.Append(b).ok);
  }
  int Run(const std::vector<std::string>& args) {
    SqliteHistoryStore store(path, SqliteHistoryStore::Access::ReadOnly);
    return RunHistoryCommand(ParseHistoryCommand(args), store, now, out, err,
                             [](const std::string& file) -> std::unique_ptr<std::ostream> {
                               return std::make_unique<std::ofstream>(file, std::ios::binary);
                             });
  }
};

TEST_F(HistoryCommandTest, SummaryListsTopProcessesAndEventsOfTheSpan) {
  Record();
  ASSERT_EQ(Run({"--history", "--since", "3h"}), 0) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("Usage history from 2026-12-04 06:00:00 to 2026-12-04 09:00:01"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("evil,\"name\"?[2J"), std::string::npos) << "no escape reaches the terminal";
  EXPECT_NE(text.find("       2    94.5  2026-12-04 07:01:00"), std::string::npos) << text;
  EXPECT_NE(text.find("2026-12-04 07:01:40  alert  CPU 95% exceed 85%"), std::string::npos);
  EXPECT_NE(text.find("terminated  hog (pid 77) could not be terminated"), std::string::npos);

  out.str("");
  ASSERT_EQ(Run({"--history", "--since", "1h"}), 0);
  EXPECT_NE(out.str().find("No process was recorded on top in this span."), std::string::npos);
  EXPECT_NE(out.str().find("No events in this span."), std::string::npos);
}

// The kind column starts at the same terminal column on every line, after at least two blanks,
// whatever the names hold: 24 bytes or more, letters of two bytes, wide characters, combining
// marks. A name too wide for the column is cut between characters.
TEST_F(HistoryCommandTest, SummaryColumnsLineUpByDisplayWidth) {
  const std::string longName(60, 'x');
  const struct {
    std::vector<std::string> names;
    std::string header;             // up to the kind column
    std::vector<std::string> rows;  // each up to its kind
  } cases[] = {
      {{std::string(24, 'a'), "sshd"},
       "Process" + std::string(19, ' ') + "Kind",
       {std::string(24, 'a') + "  CPU", "sshd" + std::string(22, ' ') + "CPU"}},
      {{"Straße-Überwachung-Dienst", "数据库服务进程", "Cafe\u0301-daemon"},
       "Process" + std::string(20, ' ') + "Kind",
       {"Straße-Überwachung-Dienst  CPU", "数据库服务进程" + std::string(13, ' ') + "CPU",
        "Cafe\u0301-daemon" + std::string(16, ' ') + "CPU"}},
      {{longName, "数据库", "short"},
       "Process" + std::string(35, ' ') + "Kind",
       {std::string(39, 'x') + "…  CPU", "数据库" + std::string(36, ' ') + "CPU",
        "short" + std::string(37, ' ') + "CPU"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names.front());
    TempDir caseDir;
    path = caseDir / "Tarnwick_history.sqlite";
    {
      SqliteHistoryStore store(path);
      HistoryBatch b;
      for (size_t i = 0; i < c.names.size(); ++i) {
        b.tops.push_back({now - 600 + static_cast<int64_t>(i), TopKind::Cpu, 1, c.names[i],
                          static_cast<int>(100 + i), 50});
      }
      ASSERT_TRUE(store.Append(b).ok);
    }
    out.str("");
    ASSERT_EQ(Run({"--history", "--since", "1h"}), 0) << err.str();
    const std::vector<std::string> lines = SplitLines(out.str());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), c.header + "      On top  Peak %  When"), 1)
        << out.str();
    for (const std::string& row : c.rows) {
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                              [&row](const std::string& line) {
                                return StartsWith(line, row + "            1    50.0  ");
                              }),
                1)
          << row << "\n"
          << out.str();
    }
  }
}

TEST_F(HistoryCommandTest, ExportWritesTheSpansSamplesAsCsv) {
  Record();
  const std::string csv = dir / "out.csv";
  ASSERT_EQ(Run({"--export-history", csv, "--since", "3h"}), 0) << err.str();
  const auto records = ParseCsv(testing::ReadFile(csv));
  ASSERT_EQ(records.size(), 12u);
  EXPECT_EQ(records[1][4], "evil,\"name\"\x1b[2J") << "the name whole, in its own field";
  EXPECT_EQ(records[1][5], "93.5");
  EXPECT_EQ(records[3][4], "");
  EXPECT_EQ(records[11][1], "10");
}

TEST_F(HistoryCommandTest, FailuresGiveAnExitStatusAndAReason) {
  EXPECT_EQ(Run({"--history"}), 1) << "no file yet";
  EXPECT_EQ(err.str(), "no history has been recorded yet (" + path + ")\n");
  Record();
  err.str("");
  EXPECT_EQ(Run({"--export-history", dir / "missing/out.csv"}), 1);
  EXPECT_EQ(err.str(), "Cannot write the file " + (dir / "missing/out.csv") + "\n");
  EXPECT_EQ(Run({"--history", "--since", "x"}), 2);
  EXPECT_EQ(Run({}), 0);
}

// The clock of the command line: the test's "now".
class FixedClock final : public IClock {
 public:
  explicit FixedClock(LocalTime now) : now_(now) {}
  LocalTime Now() override { return now_; }
  std::string LocaleDateTime() override { return {}; }
  void Sleep(std::chrono::milliseconds) override {}
  long long MonotonicNs() override { return 0; }

 private:
  LocalTime now_;
};

// The export holds what the owner-only history holds: its file is owner-only whatever the umask,
// also when it was there before, and it is never a file of another user's or one a link leads
// to.
TEST_F(HistoryCommandTest, TheExportIsOwnerOnlyAndNeverAnotherUsersFile) {
  Record();
  FixedClock clock({2026, 12, 4, 9, 0, 0});
  const mode_t savedUmask = ::umask(0);
  const auto exportTo = [&](const std::string& file) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const std::optional<int> status = RunHistoryCommandLine(
        {"--export-history", file, "--since", "3h"},
        [this] {
          return std::make_unique<SqliteHistoryStore>(path, SqliteHistoryStore::Access::ReadOnly);
        },
        clock, &CreateOwnerOnlyFile);
    ::testing::internal::GetCapturedStdout();
    ::testing::internal::GetCapturedStderr();
    return status.value_or(-1);
  };

  const std::string fresh = dir / "fresh.csv";
  EXPECT_EQ(exportTo(fresh), 0);
  EXPECT_EQ(testing::ModeOf(fresh), 0600u);
  EXPECT_EQ(ParseCsv(testing::ReadFile(fresh)).size(), 12u);

  const std::string old = dir / "old.csv";
  testing::WriteFile(old, std::string(100000, 'o'));
  ::chmod(old.c_str(), 0644);
  EXPECT_EQ(exportTo(old), 0);
  EXPECT_EQ(testing::ModeOf(old), 0600u);
  EXPECT_EQ(testing::ReadFile(old), testing::ReadFile(fresh)) << "nothing of the old content";

  const std::string victim = dir / "victim";
  testing::WriteFile(victim, "keep\n");
  const std::string link = dir / "link.csv";
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  EXPECT_EQ(exportTo(link), 1);
  EXPECT_EQ(testing::ReadFile(victim), "keep\n");

  if (::geteuid() == 0) {
    const std::string theirs = dir / "theirs.csv";
    testing::WriteFile(theirs, "theirs\n");
    ::chmod(theirs.c_str(), 0666);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(exportTo(theirs), 1);
    EXPECT_EQ(testing::ReadFile(theirs), "theirs\n");
    EXPECT_EQ(testing::ModeOf(theirs), 0666u);
  }
  ::umask(savedUmask);
}

// The desktop programs read --log-dir as tarnwickd does; with a history command, every other
// argument is refused before the history is opened.
TEST_F(HistoryCommandTest, DesktopCommandLineTakesLogDirAndRefusesOtherOptions) {
  Record();
  TempDir other;
  {
    SqliteHistoryStore store(other / "Tarnwick_history.sqlite");
    HistoryBatch b;
    b.events.push_back({now - 600, HistoryEventKind::AlertRaised, "Memory 91% exceed 90%"});
    ASSERT_TRUE(store.Append(b).ok);
  }
  TempDir empty;
  const std::string usage = "usage: --history [--since DURATION] [--log-dir DIR]";
  const struct {
    std::vector<std::string> args;
    std::optional<int> status;
    std::string shown;  // on standard output for status 0, else on standard error
  } cases[] = {
      {{"--history", "--since", "3h"}, 0, "CPU 95% exceed 85%"},
      {{"--history", "--log-dir", other.path().string(), "--since", "3h"},
       0,
       "Memory 91% exceed 90%"},
      {{"--log-dir", other.path().string(), "--history"}, 0, "Memory 91% exceed 90%"},
      {{"--history", "--log-dir", empty.path().string()},
       1,
       "no history has been recorded yet (" + (empty / "Tarnwick_history.sqlite") + ")\n"},
      {{"--history", "--bogus"}, 2, "tarnwick: unknown option '--bogus'\n" + usage},
      {{"-platform", "offscreen", "--history"}, 2, "tarnwick: unknown option '-platform'\n"},
      {{"--history", "stray\x1b[2J"}, 2, "tarnwick: unknown option 'stray?[2J'\n"},
      {{"--history", "--log-dir"}, 2, "tarnwick: option '--log-dir' needs a folder\n" + usage},
      {{"--history", "--log-dir", ""}, 2, "tarnwick: option '--log-dir' needs a folder\n"},
      {{"--history", "--since", "soon", "--log-dir", other.path().string()},
       2,
       "not a duration: soon\n" + usage},
      {{"-platform", "offscreen", "--log-dir", other.path().string()}, std::nullopt, ""},
      {{"--unknown-to-the-history"}, std::nullopt, ""},
  };
  FixedClock clock({2026, 12, 4, 9, 0, 0});
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    out.str("");
    err.str("");
    std::vector<std::string> opened;
    const std::optional<int> status = RunDesktopHistoryCommandLine(
        "tarnwick", c.args, dir.path().string(),
        [&opened](const std::string& folder) {
          opened.push_back(folder);
          return std::make_unique<SqliteHistoryStore>(folder + "/Tarnwick_history.sqlite",
                                                      SqliteHistoryStore::Access::ReadOnly);
        },
        clock, out, err, nullptr);
    EXPECT_EQ(status, c.status) << err.str();
    if (status == 0) {
      EXPECT_NE(out.str().find(c.shown), std::string::npos) << out.str();
    } else {
      EXPECT_NE(err.str().find(c.shown), std::string::npos) << err.str();
    }
    EXPECT_EQ(opened.size(), status == 0 || status == 1 ? 1u : 0u)
        << "a refused command line never opens the history";
  }
}

}  // namespace
}  // namespace tarnwick
