// What reaches the system's event log: in one scripted run of the real watches, termination,
// program monitor and dispatcher, the entries are exactly the engine's alerts, terminations and
// failures, each once, of the kind its outcome gives.
#include "eventlog/event_log_feed.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "process/process_fixture.h"
#include "support/environment.h"
#include "support/recording_listener.h"

namespace tarnwick {
namespace {

class RecordingEventLog final : public IEventLog {
 public:
  std::vector<std::pair<EventLogKind, std::string>> entries;
  void Report(EventLogKind kind, const std::string& line) override {
    entries.emplace_back(kind, line);
  }
};

// The engine on fakes with the termination, the program monitor and the real dispatcher.
class EventLogFeedTest : public testing::ProcessFixture {
 protected:
  RecordingEventLog eventLog;
  EventLogFeed feed{eventLog};
  testing::RecordingListener decisions;

  void SetUp() override {
    ProcessFixture::SetUp();
    testing::UnsetEnv("TARNWICK_SERVICE_HOST");
    processes.Add(300, "notepad", 4, 6000 * testing::kMiB);
    // Watch notepad: an alert on the first sample over 50% of the memory, and its termination.
    WriteProgramSettings({"1", "notepad", "60", "50", "1", "1", "0", ""});
    DeskDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    deps.urlTransport = &transport;
    deps.mailerLauncher = &launcher;
    Build(deps);
    engine->Listen(&feed);
    engine->Listen(&decisions);
    model->OnLoad();
    Settings& s = engine->settings;
    s.cpu_High = "75";
    s.mem_High = "85";
    s.num_High = "3";
    s.num_Kill = "1";
    s.KillProc = 1;
    s.Killopt = false;
    s.Enable_alert = 1;
    s.smsEmail = "ops@x.example";
    s.smsPassword = "pw";
    s.smsPhone = "+15550100";
    s.max_SMS = "9999";
    engine->session.loggedIn = true;
    engine->session.apiId = "id";
    engine->session.credits = "250";
  }

  void Cycle(int cpuPercent) {
    cpu.busy.push_back(cpuPercent);
    memory.available = 5000 * testing::kMiB;
    engine->Monitor();
    clock.Advance(5);
  }
};

TEST_F(EventLogFeedTest, EntriesAreTheEnginesAlertsTerminationsAndFailuresEachOnce) {
  // The CPU watch's alert terminates the top process.
  for (int i = 0; i < 3; ++i) Cycle(93);
  // The program monitor's alert terminates notepad.
  control().MonitorProgram();
  // The next two runs' terminations fail.
  killer.result = false;
  Cycle(20);
  for (int i = 0; i < 3; ++i) Cycle(93);
  Cycle(20);
  // Without credits nothing can be sent.
  engine->session.credits = "0";
  for (int i = 0; i < 3; ++i) Cycle(93);

  // What the engine decided, in the order it decided it.
  ASSERT_EQ(decisions.alerts.size(), 4u);
  ASSERT_EQ(decisions.failures.size(), 1u);
  const struct {
    EventLogKind kind;
    std::string text;
  } expected[] = {
      {EventLogKind::Kill, decisions.alerts[0].message},
      {EventLogKind::Kill, decisions.terminations[1].line},
      {EventLogKind::Alert, decisions.alerts[1].message},
      {EventLogKind::Failure, decisions.alerts[2].message},
      // The dispatcher's refusal comes while the alert is decided, before it is announced.
      {EventLogKind::Failure, decisions.failures[0].line},
      {EventLogKind::Failure, decisions.alerts[3].message},
  };
  std::string reported;
  for (const auto& e : eventLog.entries) reported += e.second + "\n";
  ASSERT_EQ(eventLog.entries.size(), std::size(expected)) << reported;
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(eventLog.entries[i].first, expected[i].kind) << eventLog.entries[i].second;
    EXPECT_EQ(eventLog.entries[i].second, expected[i].text);
  }
  // The texts are the log's own lines.
  EXPECT_NE(eventLog.entries[0].second.find(" *firefox killed(True). "), std::string::npos);
  EXPECT_EQ(decisions.terminations[1].watch, Watch::ProgramMemory);
  EXPECT_EQ(eventLog.entries[1].second.rfind("(Program killed) - notepad is killed", 0), 0u);
  EXPECT_NE(eventLog.entries[3].second.find(" *firefox killed(False). "), std::string::npos);
  EXPECT_EQ(eventLog.entries[4].second, "Credits is not enough to send SMS and Mail alerts !!");
}

TEST(EventLogFeed, KindsFollowTheDecisions) {
  RecordingEventLog eventLog;
  EventLogFeed feed(eventLog);
  const auto alert = [](Watch watch, TerminationOutcome termination) {
    AlertResult a;
    a.watch = watch;
    a.termination = termination;
    a.message = "alert";
    return a;
  };
  const struct {
    const char* name;
    std::function<void()> decide;
    std::vector<EventLogKind> kinds;
  } cases[] = {
      {"an alert",
       [&] { feed.OnAlert(alert(Watch::Cpu, TerminationOutcome::NotOn)); },
       {EventLogKind::Alert}},
      {"an alert whose kill rules refused",
       [&] { feed.OnAlert(alert(Watch::Memory, TerminationOutcome::Refused)); },
       {EventLogKind::Alert}},
      {"an alert that terminated its top process",
       [&] { feed.OnAlert(alert(Watch::Cpu, TerminationOutcome::Succeeded)); },
       {EventLogKind::Kill}},
      {"an alert whose termination failed",
       [&] { feed.OnAlert(alert(Watch::Memory, TerminationOutcome::Failed)); },
       {EventLogKind::Failure}},
      {"a program alert, whatever its termination",
       [&] { feed.OnAlert(alert(Watch::ProgramCpu, TerminationOutcome::Succeeded)); },
       {EventLogKind::Alert}},
      {"a machine watch's termination, told with its alert",
       [&] {
         feed.OnTermination({Watch::Cpu, "firefox", 200, true, {}});
       },
       {}},
      {"the program monitor's termination",
       [&] {
         feed.OnTermination({Watch::ProgramCpu, "notepad", 300, true, "killed"});
       },
       {EventLogKind::Kill}},
      {"the program monitor's failed termination",
       [&] {
         feed.OnTermination({Watch::ProgramMemory, "notepad", 300, false, "failed"});
       },
       {EventLogKind::Failure}},
      {"a failure",
       [&] {
         feed.OnFailure({FailureResult::Kind::Mail, "Mail to x failed: y"});
       },
       {EventLogKind::Failure}},
      {"the service out of reach",
       [&] {
         feed.OnLogin({LoginResult::Step::Unreadable, {}, {}, {}});
       },
       {EventLogKind::Failure}},
      {"a login",
       [&] {
         feed.OnLogin({LoginResult::Step::Accepted, {}, "5", "ops@x.example"});
       },
       {}},
      {"a back to normal", [&] { feed.OnBackToNormal({}); }, {}},
  };
  for (const auto& c : cases) {
    eventLog.entries.clear();
    c.decide();
    std::vector<EventLogKind> kinds;
    for (const auto& e : eventLog.entries) kinds.push_back(e.first);
    EXPECT_EQ(kinds, c.kinds) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
