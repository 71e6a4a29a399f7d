// What the usage history is told of the engine's decisions: every cycle, the ranked top processes
// of exceeding cycles, alerts, back-to-normal, terminations and monitoring started and stopped;
// and whether an alert was sent is the dispatcher's own outcome, for every reason it has.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "history/history_listener.h"
#include "history/history_recorder_hook.h"
#include "metrics/metrics_recorder.h"
#include "process/process_fixture.h"
#include "support/recording_listener.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

class RecordingHistory final : public IHistoryRecorder {
 public:
  std::vector<HistorySample> cycles;
  std::vector<TopEntry> tops;
  std::vector<HistoryEvent> events;
  void RecordCycle(int cpu, int mem, int64_t memUsedMB) override {
    cycles.push_back({0, cpu, mem, memUsedMB});
  }
  void RecordTop(TopKind kind, const std::string& name, int pid, double share) override {
    tops.push_back({0, kind, 1, name, pid, share});
  }
  void RecordEvent(HistoryEventKind kind, const std::string& text) override {
    events.push_back({0, kind, text, 0, false});
  }
  void RecordWatchEvent(const HistoryEvent& event) override { events.push_back(event); }
  void RecordTermination(const std::string& name, int pid, bool terminated) override {
    events.push_back({0, HistoryEventKind::ProcessTerminated, name, pid, terminated});
  }
  void Flush() override {}
  bool On() const override { return true; }

  std::vector<HistoryEventKind> Kinds() const {
    std::vector<HistoryEventKind> kinds;
    for (const HistoryEvent& e : events) kinds.push_back(e.kind);
    return kinds;
  }
};

class HistoryHooksTest : public testing::ModelFixture {
 protected:
  RecordingHistory history;
  std::unique_ptr<HistoryListener> listener;

  // The history listens to the engine from now on.
  void Record() {
    listener = std::make_unique<HistoryListener>(history);
    engine->Listen(listener.get());
  }
};

TEST_F(HistoryHooksTest, CyclesTopsAndEventsReachTheHistory) {
  Record();
  Load();  // logs in without an account: monitoring starts
  Cycle(20, 50);
  Cycle(93, 91);
  Cycle(93, 91);
  Cycle(93, 91);
  Cycle(20, 50);
  model->OnCommand1Click();  // Stop
  model->OnCommand1Click();  // Start

  ASSERT_EQ(history.cycles.size(), 5u);
  EXPECT_EQ(history.cycles[1].cpu, 93);
  EXPECT_EQ(history.cycles[1].mem, 91);
  EXPECT_EQ(history.cycles[1].memUsedMB, 9100);
  EXPECT_EQ(history.cycles[0].cpu, 20);

  ASSERT_EQ(history.tops.size(), 6u) << "one CPU and one memory top per exceeding cycle only";
  EXPECT_EQ(history.tops[0].kind, TopKind::Cpu);
  EXPECT_EQ(history.tops[0].name, "firefox");
  EXPECT_DOUBLE_EQ(history.tops[0].share, 40);
  EXPECT_EQ(history.tops[1].kind, TopKind::Memory);
  EXPECT_NEAR(history.tops[1].share, 15.36, 0.01) << "of the 10,000 MiB";

  using K = HistoryEventKind;
  EXPECT_EQ(history.Kinds(),
            (std::vector<K>{K::MonitoringStarted, K::AlertRaised, K::AlertRaised, K::BackToNormal,
                            K::BackToNormal, K::MonitoringStopped, K::MonitoringStarted}));
  EXPECT_EQ(history.events[1].text.substr(0, 40), "Not Login alert message [12-04 10:15:22 ");
  EXPECT_EQ(history.events[3].text, "CPU 20% back to normal");
  EXPECT_EQ(history.events[1].watch, HistoryWatch::Cpu);
  EXPECT_EQ(history.events[2].watch, HistoryWatch::Memory);
  EXPECT_EQ(history.events[4].watch, HistoryWatch::Memory);
  EXPECT_EQ(history.events[1].sent, SendState::LogOnly) << "not logged in: it never went out";
}

// Sent, logged only as a repeat, or held back because alerts are off: the history keeps which,
// with the watch, the value, the process that was most often on top and the termination.
TEST_F(HistoryHooksTest, AlertsAreKeptAsSentOrLogOnlyWithTheirFacts) {
  testing::RecordingAlertSender sender;
  Record();
  Load();
  engine->session.loggedIn = true;
  engine->settings.Enable_alert = 1;
  engine->SetAlertSender(&sender);
  history.events.clear();
  for (int i = 0; i < 6; ++i) Cycle(93, 50);  // an alert, then a repeat
  Cycle(20, 50);                              // back to normal, with its notice
  engine->settings.Enable_alert = 0;
  for (int i = 0; i < 3; ++i) Cycle(93, 50);  // an alert that stays in the log
  Cycle(20, 50);

  ASSERT_EQ(history.events.size(), 5u);
  ASSERT_EQ(sender.sent.size(), 2u) << "the first alert and its back-to-normal notice";
  const struct {
    HistoryEventKind kind;
    SendState sent;
    std::string textEnd;
  } expected[] = {
      {HistoryEventKind::AlertRaised, SendState::Sent, "*firefox(3)"},
      {HistoryEventKind::AlertRaised, SendState::LogOnly, " (Not first time,log only)"},
      {HistoryEventKind::BackToNormal, SendState::Sent, "CPU 20% back to normal"},
      {HistoryEventKind::AlertRaised, SendState::LogOnly, "*firefox(3)"},
      {HistoryEventKind::BackToNormal, SendState::LogOnly, "CPU 20% back to normal"},
  };
  for (size_t i = 0; i < history.events.size(); ++i) {
    const HistoryEvent& e = history.events[i];
    SCOPED_TRACE(e.text);
    EXPECT_EQ(e.kind, expected[i].kind);
    EXPECT_EQ(e.sent, expected[i].sent);
    EXPECT_TRUE(e.text.ends_with(expected[i].textEnd));
    EXPECT_EQ(e.watch, HistoryWatch::Cpu);
    EXPECT_EQ(e.kill, KillOutcome::None);
  }
  EXPECT_DOUBLE_EQ(history.events[0].value, 93);
  EXPECT_EQ(history.events[0].top, "firefox") << "the process most often on top";
  EXPECT_DOUBLE_EQ(history.events[2].value, 20);
  EXPECT_EQ(history.events[2].top, "");
}

TEST_F(HistoryHooksTest, WithoutAHistoryTheCycleRunsAsBefore) {
  Load();
  Cycle(93, 50);
  Cycle(93, 50);
  Cycle(93, 50);
  EXPECT_EQ(engine->cpuWatch.raised, 1);
}

// One alert of the CPU watch through the real dispatcher in each of its situations: the history's
// "sent", the metrics' count of sent alerts and the dispatcher's outcome are one answer.
TEST_F(HistoryHooksTest, SentIsTheDispatchersOutcomeForEveryReason) {
  const struct {
    const char* name;
    std::function<void(Engine&)> situation;
    int alerts;  // alerts in a row without a normal sample between them (the last one counts)
    DispatchOutcome outcome;
  } cases[] = {
      {"sent", [](Engine&) {}, 1, DispatchOutcome::Sent},
      {"outside the sending hours",
       [](Engine& e) {
         e.settings.schAlert = 1;
         e.settings.smsFrom = "8";
         e.settings.smsTo = "9";
       },
       1, DispatchOutcome::HourWindow},
      {"no credits", [](Engine& e) { e.session.credits = "0"; }, 1, DispatchOutcome::NoCredits},
      {"the day's cap, no mail list",
       [](Engine& e) {
         e.settings.max_SMS = "5";
         e.settings.smsSentToday = 5;
         e.settings.Mail_List.clear();
       },
       1, DispatchOutcome::DailyCap},
      {"the day's cap, mailed instead",
       [](Engine& e) {
         e.settings.max_SMS = "5";
         e.settings.smsSentToday = 5;
       },
       1, DispatchOutcome::MailOnly},
      {"not logged in", [](Engine& e) { e.session.loggedIn = false; }, 1,
       DispatchOutcome::NotLoggedIn},
      {"a repeat", [](Engine&) {}, 2, DispatchOutcome::Repeat},
      {"alerts off", [](Engine& e) { e.settings.Enable_alert = 0; }, 1, DispatchOutcome::AlertsOff},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UseDelivery();
    Record();
    testing::RecordingListener decisions;
    engine->Listen(&decisions);
    MetricsBoard board;
    MetricsRecorder metrics(board);
    engine->Listen(&metrics);
    metrics.Attach(*engine);
    Load();
    clock.Set(10, 15, 7);
    Settings& s = engine->settings;
    s.Enable_alert = 1;
    s.smsEmail = "ops@x.example";
    s.smsPassword = "pw";
    s.smsPhone = "+15550100";
    s.Mail_List = "boss@x.example";
    s.max_SMS = "9999";
    engine->session.loggedIn = true;
    engine->session.credits = "250";
    c.situation(*engine);
    history.events.clear();
    for (int i = 0; i < 3 * c.alerts; ++i) Cycle(93, 50);

    ASSERT_EQ(decisions.alerts.size(), static_cast<size_t>(c.alerts))
        << ::testing::PrintToString(Messages());
    EXPECT_EQ(decisions.alerts.back().dispatch, c.outcome)
        << DispatchOutcomeName(decisions.alerts.back().dispatch);
    ASSERT_EQ(history.events.size(), static_cast<size_t>(c.alerts));
    const bool wentOut = WentOut(c.outcome);
    EXPECT_EQ(history.events.back().sent, wentOut ? SendState::Sent : SendState::LogOnly);
    metrics.Publish();
    const WatchMetrics& cpuMetrics = board.Snapshot().watches[static_cast<size_t>(Watch::Cpu)];
    EXPECT_EQ(cpuMetrics.alertsRaised, static_cast<uint64_t>(c.alerts));
    const uint64_t sentBefore = c.alerts > 1 && WentOut(decisions.alerts.front().dispatch) ? 1 : 0;
    EXPECT_EQ(cpuMetrics.alertsSent, sentBefore + (wentOut ? 1u : 0u));
    engine->Unlisten(&metrics);
    engine->Unlisten(&decisions);
  }
}

class ProgramHistoryTest : public testing::ProcessFixture {
 protected:
  RecordingHistory history;
};

TEST_F(ProgramHistoryTest, ProgramMonitorAlertAndItsTerminationReachTheHistory) {
  processes.Add(300, "notepad", 320, 100 * testing::kMiB);
  // Watch notepad: CPU 60%, memory 50%, three samples to an alert, terminate, no sound.
  WriteProgramSettings({"1", "notepad", "60", "50", "3", "1", "0", ""});
  LoadLoggedIn();
  HistoryListener listener(history);
  engine->Listen(&listener);
  killer.result = false;
  for (int i = 0; i < 3; ++i) {
    engine->processControl()->MonitorProgram();
    clock.Advance(5);
  }
  ASSERT_EQ(history.events.size(), 2u);
  EXPECT_EQ(history.events[0].kind, HistoryEventKind::ProcessTerminated);
  EXPECT_EQ(history.events[0].text, "notepad");
  EXPECT_EQ(history.events[0].pid, 300);
  EXPECT_FALSE(history.events[0].ok) << "a refused termination is recorded as one";
  const HistoryEvent& alert = history.events[1];
  EXPECT_EQ(alert.kind, HistoryEventKind::ProgramAlert);
  EXPECT_EQ(alert.text,
            "2026-12-04 10:15:17 WEB01 - notepad CPU 80% exceed 60% for 10 sec.(3 times) notepad "
            "has been killed (fail)");
  EXPECT_EQ(alert.watch, HistoryWatch::ProgramCpu);
  EXPECT_DOUBLE_EQ(alert.value, 80);
  EXPECT_EQ(alert.top, "notepad");
  EXPECT_EQ(alert.kill, KillOutcome::Failed);
  EXPECT_EQ(alert.sent, SendState::Sent);

  // Back under the threshold: the notice goes out and the history keeps it.
  processes.procs.back().sharePct = 0;
  engine->processControl()->MonitorProgram();
  ASSERT_EQ(history.events.size(), 3u);
  EXPECT_EQ(history.events[2].kind, HistoryEventKind::BackToNormal);
  EXPECT_EQ(history.events[2].watch, HistoryWatch::ProgramCpu);
  EXPECT_EQ(history.events[2].sent, SendState::Sent);
  EXPECT_EQ(history.events[2].text.substr(20),
            "notepad CPU usage back to normal. Now notepad CPU "
            "usage is 0%. CPU threshold setting is 60% for 3 times");
}

}  // namespace
}  // namespace tarnwick
