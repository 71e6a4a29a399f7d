// What the monitor cycle hands to the usage history: every cycle, the ranked top processes of
// exceeding cycles, alerts, back-to-normal, terminations and monitoring started and stopped.
#include <gtest/gtest.h>

#include "history/history_recorder_hook.h"
#include "process/process_fixture.h"
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
};

TEST_F(HistoryHooksTest, CyclesTopsAndEventsReachTheHistory) {
  model->SetHistoryRecorder(&history);
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
}

TEST_F(HistoryHooksTest, WithoutAHistoryTheCycleRunsAsBefore) {
  Load();
  Cycle(93, 50);
  Cycle(93, 50);
  Cycle(93, 50);
  EXPECT_EQ(model->cpuWatch.raised, 1);
  EXPECT_EQ(model->historyRecorder(), nullptr);
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
  model->SetHistoryRecorder(&history);
  killer.result = false;
  for (int i = 0; i < 3; ++i) {
    model->processControl()->MonitorProgram();
    clock.Advance(5);
  }
  ASSERT_EQ(history.events.size(), 2u);
  EXPECT_EQ(history.events[0].kind, HistoryEventKind::ProcessTerminated);
  EXPECT_EQ(history.events[0].text, "notepad");
  EXPECT_EQ(history.events[0].pid, 300);
  EXPECT_FALSE(history.events[0].ok) << "a refused termination is recorded as one";
  EXPECT_EQ(history.events[1].kind, HistoryEventKind::ProgramAlert);
  EXPECT_EQ(history.events[1].text,
            "2026-12-04 10:15:17 WEB01 - notepad CPU 80% exceed 60% for 10 sec.(3 times) notepad "
            "has been killed (fail)");
}

}  // namespace
}  // namespace tarnwick
