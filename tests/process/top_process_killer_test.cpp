// The termination of the top process on fakes: the lookup by identity and the kill rules of both
// modes, with their exact log lines.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "common/text.h"
#include "engine/process_lookup.h"
#include "process_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;
using testing::kMiB;

LocalTime Utc(int64_t epochSeconds) {
  const auto when = static_cast<std::time_t>(epochSeconds);
  std::tm tm{};
#ifdef _WIN32
  gmtime_s(&tm, &when);
#else
  gmtime_r(&when, &tm);
#endif
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

class ProcessLookupTest : public ::testing::Test {
 protected:
  testing::FakeClock clock;
  testing::FakeProcessLister processes{clock};

  void Add(int pid, const std::string& name, int64_t created, bool system) {
    processes.Add(pid, name, 0, 0);
    processes.procs.back().info.creationTime = created;
    processes.procs.back().info.systemAccount = system;
    processes.procs.back().info.startTicks = 7000 + static_cast<uint64_t>(pid);
  }
};

TEST_F(ProcessLookupTest, FindsTheProcessByPidAndStartTimeWithItsCreationTimeAndOwner) {
  // 2026-03-07 08:09:10 and 2026-11-30 23:59:58 UTC.
  Add(10, "svchost", 1772870950, true);
  Add(30, "firefox", 1796083198, false);
  ProcessLookup lookup(processes, ".exe", &Utc);

  EXPECT_TRUE(lookup.FindProcess(30, 7030));
  EXPECT_EQ(lookup.procCreateTime, "11-30 23:59:58");
  EXPECT_EQ(lookup.ownerSidResult, "0");
  EXPECT_EQ(lookup.found().pid, 30);
  EXPECT_EQ(lookup.found().startTicks, 7030u);

  EXPECT_TRUE(lookup.FindProcess(10, 7010));
  EXPECT_EQ(lookup.procCreateTime, "03-07 08:09:10");
  EXPECT_EQ(lookup.ownerSidResult, "2") << "a system account answers like a service's owner";
}

TEST_F(ProcessLookupTest, MissKeepsTheEarlierResults) {
  Add(10, "svchost", 0, true);
  ProcessLookup lookup(processes, "", &Utc);
  ASSERT_TRUE(lookup.FindProcess(10, 7010));

  const struct {
    int pid;
    uint64_t startTicks;
  } misses[] = {{11, 7010}, {10, 7011}, {0, 0}};
  for (const auto& miss : misses) {
    EXPECT_FALSE(lookup.FindProcess(miss.pid, miss.startTicks)) << miss.pid;
    EXPECT_EQ(lookup.procCreateTime, "01-01 00:00:00");
    EXPECT_EQ(lookup.ownerSidResult, "2");
    EXPECT_EQ(lookup.found().pid, 10);
  }
  processes.fail = true;
  EXPECT_FALSE(lookup.FindProcess(10, 7010)) << "an unreadable process table finds nothing";
}

// ---- Kill rules ----

class KillRulesTest : public testing::ProcessFixture {
 protected:
  // The history of a comma list of names, each sample carrying the pid and start time of the
  // first listed process of that name (with or without the suffix, case ignored), or of no
  // running process (pid 9999).
  TopHistory History(const std::string& names) {
    TopHistory history;
    size_t from = 0;
    while (from < names.size()) {
      size_t comma = names.find(',', from);
      if (comma == std::string::npos) comma = names.size();
      const std::string name = names.substr(from, comma - from);
      from = comma + 1;
      if (name.empty()) continue;
      TopSample sample{name, 9999, 9999};
      for (const auto& p : processes.procs) {
        if (ToLower(p.info.name) == ToLower(name) ||
            ToLower(p.info.name + system.suffix) == ToLower(name)) {
          sample.pid = p.info.pid;
          sample.startTicks = p.info.startTicks;
          break;
        }
      }
      history.push_back(sample);
    }
    return history;
  }

  void SetUpProcesses() {
    processes.procs.clear();
    processes.Add(100, "svchost", 0, 10 * kMiB);
    processes.Add(200, "firefox", 0, 10 * kMiB);
    processes.Add(300, "sqlservr", 0, 10 * kMiB);
    processes.procs.back().info.systemAccount = true;
    processes.Add(system.ownPid, "tarnwick", 0, 10 * kMiB);  // this program
    processes.Add(400, "TarnwickD", 0, 10 * kMiB);           // another user's hog named like it
  }
  // "mm-dd hh:mm:ss" of the fake processes' creation time in this machine's zone.
  static std::string CreateTime() { return MmDdHhMmSs(LocalTimeOfEpoch(0)); }
};

TEST_F(KillRulesTest, RulesOfBothModesDecideWhatIsTerminated) {
  const std::string killLine = [] {
    return "(pid : %d create time : " + CreateTime() + ") is the TOP 1 to be killed ...";
  }();
  auto topLine = [&](const std::string& name, int pid) {
    std::string line = killLine;
    line.replace(line.find("%d"), 2, std::to_string(pid));
    return name + line;
  };
  const struct Case {
    const char* what;
    const char* history;
    bool killopt;
    const char* numKill;
    const char* list;
    int16_t killProc;
    int killedPid;  // 0: no termination
    Lines lines;
  } cases[] = {
      {"unlisted, often enough",
       "firefox,firefox,svchost,",
       false,
       "2",
       "notepad",
       1,
       200,
       {topLine("firefox", 200)}},
      {"unlisted, below num_Kill",
       "firefox,firefox,svchost,",
       false,
       "3",
       "",
       1,
       0,
       {topLine("firefox", 200)}},
      {"listed as a substring, any case",
       "firefox,firefox,",
       false,
       "1",
       " MyFireFox,notepad ",
       1,
       0,
       {topLine("firefox", 200)}},
      {"service owner",
       "sqlservr,sqlservr,",
       false,
       "1",
       "",
       1,
       0,
       {topLine("sqlservr", 300),
        "sqlservr is TOP 1 but no kill. Reason - Session Name (Owner) is Services."}},
      {"service owner below num_Kill",
       "sqlservr,",
       false,
       "5",
       "",
       1,
       0,
       {topLine("sqlservr", 300),
        "sqlservr is TOP 1 but no kill. Reason - Session Name (Owner) is Services."}},
      {"service owner, listed",
       "sqlservr,",
       false,
       "1",
       "sqlservr",
       1,
       0,
       {topLine("sqlservr", 300),
        "sqlservr is TOP 1 but no kill. Reason - Session Name (Owner) is Services."}},
      {"kill-if-listed, listed",
       "firefox,firefox,",
       true,
       "2",
       "firefox,notepad",
       1,
       200,
       {topLine("firefox", 200)}},
      {"kill-if-listed, listed, service owner",
       ",sqlservr,sqlservr",
       true,
       "1",
       "sqlservr",
       1,
       300,
       {topLine("sqlservr", 300)}},
      {"kill-if-listed, below num_Kill",
       "firefox,",
       true,
       "2",
       "firefox",
       1,
       0,
       {topLine("firefox", 200)}},
      {"kill-if-listed, not listed",
       "firefox,firefox,",
       true,
       "1",
       "svchost",
       1,
       0,
       {topLine("firefox", 200)}},
      {"kill-if-listed, empty list",
       "firefox,firefox,",
       true,
       "1",
       "",
       1,
       0,
       {topLine("firefox", 200)}},
      {"num_Kill not a number",
       "firefox,firefox,",
       false,
       "two",
       "",
       1,
       0,
       {topLine("firefox", 200)}},
      {"KillProc off", "firefox,firefox,", false, "1", "", 0, 0, {}},
      {"KillProc neither 0 nor 1", "firefox,firefox,", false, "1", "", 2, 0, {}},
      {"top not running",
       "notepad,notepad,",
       false,
       "1",
       "",
       1,
       0,
       {"No catch Process ID (pid) will kill next time ......."}},
      {"empty history",
       "",
       false,
       "1",
       "",
       1,
       0,
       {"No catch Process ID (pid) will kill next time ......."}},
      {"own program, any case",
       "Tarnwick,Tarnwick,",
       false,
       "1",
       "",
       1,
       0,
       {"No kill tarnwick itself ...."}},
      {"own program, KillProc off", "tarnwick,", false, "1", "", 0, 0, {}},
      {"a namesake of the program is not the program",
       "TarnwickD,TarnwickD,",
       false,
       "1",
       "",
       1,
       400,
       {topLine("TarnwickD", 400)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpProcesses();
    UseProcessControl();
    killer.calls.clear();
    model->OnLoad();
    Messages();
    engine->settings.Killopt = c.killopt;
    engine->settings.num_Kill = c.numKill;
    engine->settings.PnameList = c.list;

    KillResults results;
    control().KillTopProcess(History(c.history), c.killProc, results);

    EXPECT_EQ(Messages(), c.lines);
    EXPECT_EQ(results.killTried, c.killedPid != 0);
    if (c.killedPid != 0) {
      ASSERT_EQ(killer.calls.size(), 1u);
      EXPECT_EQ(killer.calls[0].pid, c.killedPid);
      EXPECT_EQ(killer.calls[0].startTicks, static_cast<uint64_t>(c.killedPid));
      EXPECT_TRUE(results.killResult);
    } else {
      EXPECT_TRUE(killer.calls.empty());
    }
  }
}

TEST_F(KillRulesTest, TheProcessThatLedIsTerminatedNeverANamesake) {
  SetUpProcesses();
  processes.Add(500, "victim", 0, 10 * kMiB);  // another user's idle namesake, listed first
  processes.Add(600, "victim", 0, 10 * kMiB);  // the hog
  auto sample = [](int pid) { return TopSample{"victim", pid, static_cast<uint64_t>(pid)}; };
  const std::string line =
      "victim(pid : %d create time : " + CreateTime() + ") is the TOP 1 to be killed ...";
  auto lineOf = [&](int pid) {
    std::string l = line;
    return l.replace(l.find("%d"), 2, std::to_string(pid));
  };
  const struct Case {
    const char* what;
    TopHistory history;
    const char* numKill;
    bool hogRuns;
    int killedPid;
    Lines lines;
  } cases[] = {
      {"the hog led three of four samples",
       {sample(600), sample(500), sample(600), sample(600)},
       "3",
       true,
       600,
       {lineOf(600)}},
      {"the hog has ended: its namesake is not taken instead",
       {sample(600), sample(600), sample(600)},
       "1",
       false,
       0,
       {"No catch Process ID (pid) will kill next time ......."}},
      {"a pid reused since is another process",
       {TopSample{"victim", 600, 1}, TopSample{"victim", 600, 1}},
       "1",
       true,
       0,
       {"No catch Process ID (pid) will kill next time ......."}},
      {"num_Kill counts the samples of the process, not of its name",
       {sample(500), sample(600), sample(500), sample(600)},
       "3",
       true,
       0,
       {lineOf(600)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.hogRuns) std::erase_if(processes.procs, [](const auto& p) { return p.info.pid == 600; });
    UseProcessControl();
    killer.calls.clear();
    model->OnLoad();
    Messages();
    engine->settings.Killopt = false;
    engine->settings.num_Kill = c.numKill;
    KillResults results;
    EXPECT_EQ(control().KillTopProcess(c.history, 1, results),
              "*victim(" + std::to_string(c.history.size()) + ")");
    EXPECT_EQ(Messages(), c.lines);
    EXPECT_EQ(results.killTried, c.killedPid != 0);
    if (c.killedPid != 0) {
      ASSERT_EQ(killer.calls.size(), 1u);
      EXPECT_EQ(killer.calls[0].pid, c.killedPid);
    } else {
      EXPECT_TRUE(killer.calls.empty());
    }
    if (!c.hogRuns) processes.Add(600, "victim", 0, 10 * kMiB);
  }
}

TEST_F(KillRulesTest, ReturnsTheTallyAndNamesTheChosenProcessAsFound) {
  SetUpProcesses();
  model->OnLoad();
  engine->settings.num_Kill = "9";
  KillResults results;
  EXPECT_EQ(control().KillTopProcess(History("svchost,Firefox,Firefox,"), 1, results),
            "*Firefox(2),svchost(1)");
  EXPECT_EQ(results.killedName, "Firefox") << "as found, before lower-casing";
  EXPECT_FALSE(results.killTried);
}

TEST_F(KillRulesTest, ATerminationByAClaimedNameSaysSo) {
  SetUpProcesses();
  for (auto& p : processes.procs) p.info.nameClaimed = p.info.name == "firefox";
  UseProcessControl();
  model->OnLoad();
  Messages();
  engine->settings.Killopt = true;
  engine->settings.PnameList = "firefox";
  engine->settings.num_Kill = "1";
  KillResults results;
  control().KillTopProcess(History("firefox,"), 1, results);
  const Lines lines = Messages();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "firefox(pid : 200 create time : " + CreateTime() +
                          ") is the TOP 1 to be killed ... The rules matched the name the "
                          "process claims for itself, not its executable's.");
  EXPECT_TRUE(results.killTried);
}

TEST_F(KillRulesTest, OwnProgramLineCarriesThePlatformsSuffix) {
  system.suffix = ".exe";
  SetUpProcesses();
  UseProcessControl();
  model->OnLoad();
  Messages();
  KillResults results;
  EXPECT_EQ(control().KillTopProcess(History("TARNWICK.EXE,"), 1, results), "*TARNWICK.EXE(1)");
  EXPECT_EQ(Messages(), Lines{"No kill tarnwick.exe itself ...."});
  EXPECT_TRUE(killer.calls.empty());
}

TEST_F(KillRulesTest, OnlyTheFirstFailureForANameIsMarkedFirst) {
  SetUpProcesses();
  model->OnLoad();
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "1";
  killer.result = false;

  KillResults& results = engine->kill;
  control().KillTopProcess(History("firefox,"), 1, results);
  EXPECT_TRUE(results.killTried);
  EXPECT_FALSE(results.killResult);
  EXPECT_TRUE(results.killFailFirst);
  EXPECT_EQ(results.killFailList, "firefox,");

  control().KillTopProcess(History("Firefox,"), 1, results);
  EXPECT_TRUE(results.killTried);
  EXPECT_FALSE(results.killFailFirst) << "the lower-cased name is already in the list";
  EXPECT_EQ(results.killFailList, "firefox,");

  control().KillTopProcess(History("svchost,"), 1, results);
  EXPECT_TRUE(results.killFailFirst);
  EXPECT_EQ(results.killFailList, "firefox,svchost,");

  // A call that tries nothing starts with both flags cleared.
  control().KillTopProcess(History("notepad,"), 1, results);
  EXPECT_FALSE(results.killTried);
  EXPECT_FALSE(results.killFailFirst);
}

TEST_F(KillRulesTest, CpuAlertOfTheMonitorCycleQuotesTheTermination) {
  SetUpProcesses();
  processes.procs[1].sharePct = 300;  // firefox leads every ranking
  Load();
  engine->settings.KillProc = 1;
  engine->settings.Killopt = false;
  engine->settings.num_Kill = "3";
  Cycle(93, 50);
  Cycle(93, 50);
  Cycle(93, 50);
  const Lines lines = Messages();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("sec.(3 times). *firefox killed(True). TOP1 : firefox 75% @"),
            std::string::npos)
      << lines.back();
  ASSERT_EQ(killer.calls.size(), 1u);
  EXPECT_EQ(killer.calls[0].pid, 200);
}

}  // namespace
}  // namespace tarnwick
