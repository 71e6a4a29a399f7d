// The termination of the top process on fakes: the lookup by name and the kill rules of both
// modes, with their exact log lines.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "process/process_lookup.h"
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

TEST_F(ProcessLookupTest, LastMatchWinsWithItsCreationTimeAndOwner) {
  // 2026-03-07 08:09:10 and 2026-11-30 23:59:58 UTC.
  Add(10, "svchost", 1772870950, true);
  Add(20, "Firefox", 1772870950, true);
  Add(30, "firefox", 1796083198, false);
  Add(40, "firefoxx", 1772870950, true);
  ProcessLookup lookup(processes, ".exe", &Utc);

  std::string name = "FIREFOX.exe";
  EXPECT_EQ(lookup.GetProcessIdByName(name), "30");
  EXPECT_EQ(lookup.procCreateTime, "11-30 23:59:58");
  EXPECT_EQ(lookup.ownerSidResult, "0");
  EXPECT_EQ(lookup.found().pid, 30);
  EXPECT_EQ(lookup.found().startTicks, 7030u);

  name = "svchost.exe";
  EXPECT_EQ(lookup.GetProcessIdByName(name), "10");
  EXPECT_EQ(lookup.procCreateTime, "03-07 08:09:10");
  EXPECT_EQ(lookup.ownerSidResult, "2") << "a system account answers like a service's owner";
}

TEST_F(ProcessLookupTest, NumberedInstanceNameIsCutAndRewrittenForTheCaller) {
  Add(10, "svchost", 0, true);
  ProcessLookup lookup(processes, ".exe", &Utc);
  std::string name = "svchost#2";
  EXPECT_EQ(lookup.GetProcessIdByName(name), "10");
  EXPECT_EQ(name, "svchost.exe");

  ProcessLookup linuxLookup(processes, "", &Utc);
  name = "svchost#12";
  EXPECT_EQ(linuxLookup.GetProcessIdByName(name), "10");
  EXPECT_EQ(name, "svchost");
}

TEST_F(ProcessLookupTest, MissKeepsTheEarlierResults) {
  Add(10, "svchost", 0, true);
  ProcessLookup lookup(processes, "", &Utc);
  std::string name = "svchost";
  ASSERT_EQ(lookup.GetProcessIdByName(name), "10");

  for (std::string missing : {"notepad", "", "svchost.exe"}) {
    EXPECT_EQ(lookup.GetProcessIdByName(missing), "") << missing;
    EXPECT_EQ(lookup.procCreateTime, "01-01 00:00:00");
    EXPECT_EQ(lookup.ownerSidResult, "2");
  }
  processes.fail = true;
  name = "svchost";
  EXPECT_EQ(lookup.GetProcessIdByName(name), "") << "an unreadable process table finds nothing";
}

// ---- Kill rules ----

class KillRulesTest : public testing::ProcessFixture {
 protected:
  void SetUpProcesses() {
    processes.procs.clear();
    processes.Add(100, "svchost", 0, 10 * kMiB);
    processes.Add(200, "firefox", 0, 10 * kMiB);
    processes.Add(300, "sqlservr", 0, 10 * kMiB);
    processes.procs.back().info.systemAccount = true;
    processes.Add(400, "tarnwick", 0, 10 * kMiB);
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpProcesses();
    UseProcessControl();
    killer.calls.clear();
    model->OnLoad();
    Messages();
    model->settings.Killopt = c.killopt;
    model->settings.num_Kill = c.numKill;
    model->settings.PnameList = c.list;

    KillResults results;
    control().KillTopProcess(c.history, c.killProc, results);

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

TEST_F(KillRulesTest, ReturnsTheTallyAndNamesTheChosenProcessAsFound) {
  SetUpProcesses();
  model->OnLoad();
  model->settings.num_Kill = "9";
  KillResults results;
  EXPECT_EQ(control().KillTopProcess("svchost,Firefox,Firefox,", 1, results),
            "*Firefox(2),svchost(1)");
  EXPECT_EQ(results.killedName, "Firefox") << "as found, before lower-casing";
  EXPECT_FALSE(results.killTried);
}

TEST_F(KillRulesTest, OwnProgramLineCarriesThePlatformsSuffix) {
  system.suffix = ".exe";
  SetUpProcesses();
  UseProcessControl();
  model->OnLoad();
  Messages();
  KillResults results;
  EXPECT_EQ(control().KillTopProcess("TARNWICK.EXE,", 1, results), "*TARNWICK.EXE(1)");
  EXPECT_EQ(Messages(), Lines{"No kill tarnwick.exe itself ...."});
  EXPECT_TRUE(killer.calls.empty());
}

TEST_F(KillRulesTest, OnlyTheFirstFailureForANameIsMarkedFirst) {
  SetUpProcesses();
  model->OnLoad();
  model->settings.Killopt = false;
  model->settings.num_Kill = "1";
  killer.result = false;

  KillResults& results = model->kill;
  control().KillTopProcess("firefox,", 1, results);
  EXPECT_TRUE(results.killTried);
  EXPECT_FALSE(results.killResult);
  EXPECT_TRUE(results.killFailFirst);
  EXPECT_EQ(results.killFailList, "firefox,");

  control().KillTopProcess("Firefox,", 1, results);
  EXPECT_TRUE(results.killTried);
  EXPECT_FALSE(results.killFailFirst) << "the lower-cased name is already in the list";
  EXPECT_EQ(results.killFailList, "firefox,");

  control().KillTopProcess("svchost,", 1, results);
  EXPECT_TRUE(results.killFailFirst);
  EXPECT_EQ(results.killFailList, "firefox,svchost,");

  // A call that tries nothing starts with both flags cleared.
  control().KillTopProcess("notepad,", 1, results);
  EXPECT_FALSE(results.killTried);
  EXPECT_FALSE(results.killFailFirst);
}

TEST_F(KillRulesTest, CpuAlertOfTheMonitorCycleQuotesTheTermination) {
  SetUpProcesses();
  processes.procs[1].sharePct = 300;  // firefox leads every ranking
  Load();
  model->settings.KillProc = 1;
  model->settings.Killopt = false;
  model->settings.num_Kill = "3";
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
