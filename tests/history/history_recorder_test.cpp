// The recorder: what it writes when, the once-a-minute top list, pruning, and a failing store
// that switches the history off with one log line while recording goes on being harmless.
#include "history/history_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "domain/history_time.h"
#include "history_fakes.h"
#include "support/fakes.h"

namespace tarnwick {
namespace {

using testing::CountingTopScan;
using testing::FakeClock;
using testing::MemoryHistoryStore;

class RecorderTest : public ::testing::Test {
 protected:
  FakeClock clock;
  MemoryHistoryStore store;
  CountingTopScan scan;
  std::vector<std::string> log;
  HistoryRecorder recorder{clock, store, [this](const std::string& line) { log.push_back(line); },
                           &scan};

  // `count` cycles `seconds` apart.
  void Cycles(int count, int seconds = 1) {
    for (int i = 0; i < count; ++i) {
      recorder.RecordCycle(10 + i % 50, 40, 4000);
      clock.Advance(seconds);
    }
  }
};

TEST_F(RecorderTest, OneCycleSecondWritesOneBatchEveryThirtySeconds) {
  Cycles(30);
  EXPECT_TRUE(store.appended.empty()) << "nothing is written before 30 s have passed";
  EXPECT_EQ(recorder.Pending(), 30u + 10u) << "30 samples and the first top list of 10";

  Cycles(1);
  ASSERT_EQ(store.appended.size(), 1u);
  EXPECT_EQ(store.appended[0].samples.size(), 31u);
  EXPECT_EQ(recorder.Pending(), 0u);

  Cycles(300);
  EXPECT_EQ(store.appended.size(), 11u) << "one transaction per 30 s, not per sample";
  EXPECT_EQ(store.Samples(), 331u) << "every sample is kept";
  EXPECT_EQ(store.opens, 1) << "opened once, on first use";
}

TEST_F(RecorderTest, StoppingMonitoringWritesAtOnce) {
  Cycles(5);
  recorder.RecordEvent(HistoryEventKind::MonitoringStopped, "Monitoring Stopped");
  ASSERT_EQ(store.appended.size(), 1u);
  EXPECT_EQ(store.appended[0].samples.size(), 5u);
  ASSERT_EQ(store.appended[0].events.size(), 1u);
  EXPECT_EQ(store.appended[0].events[0].kind, HistoryEventKind::MonitoringStopped);
}

TEST_F(RecorderTest, EndingTheProgramWritesWhatIsPending) {
  {
    HistoryRecorder shortLived(clock, store, nullptr);
    shortLived.RecordCycle(5, 6, 7);
    shortLived.RecordTermination("hog", 4242, true);
  }
  ASSERT_EQ(store.appended.size(), 1u);
  const HistoryEvent& e = store.appended[0].events.at(0);
  EXPECT_EQ(e.kind, HistoryEventKind::ProcessTerminated);
  EXPECT_EQ(e.text, "hog");
  EXPECT_EQ(e.pid, 4242);
  EXPECT_TRUE(e.ok);
}

TEST_F(RecorderTest, TopListIsTakenOnceAMinuteStampedWithItsCycle) {
  Cycles(5 * 60, 1);
  EXPECT_EQ(scan.calls, 5) << "one scan a minute at a 1 s cycle";
  Cycles(12, 5);
  EXPECT_EQ(scan.calls, 6) << "and at a 5 s cycle";

  recorder.Flush();
  std::vector<int64_t> times;
  for (const HistoryBatch& b : store.appended) {
    for (const TopEntry& e : b.tops) {
      if (e.rank == 1 && e.kind == TopKind::Cpu) times.push_back(e.t);
    }
  }
  ASSERT_EQ(times.size(), 6u);
  EXPECT_EQ(times[1] - times[0], 60);
  const int64_t start = ToHistorySeconds({2026, 12, 4, 10, 15, 7});
  EXPECT_EQ(times[0], start) << "the list carries the time of the cycle that took it";
}

TEST_F(RecorderTest, RankedTopsAndEventsAreKeptWithTheirTimes) {
  recorder.RecordCycle(93, 50, 5000);
  recorder.RecordTop(TopKind::Cpu, "firefox", 0, 40);
  recorder.RecordTop(TopKind::Memory, "", 0, 1);  // a ranking that found nothing
  recorder.RecordEvent(HistoryEventKind::AlertRaised, "CPU 93% exceed 75%");
  clock.Advance(5);
  recorder.RecordEvent(HistoryEventKind::BackToNormal, "CPU 20% back to normal");
  recorder.Flush();
  ASSERT_EQ(store.appended.size(), 1u);
  const HistoryBatch& b = store.appended[0];
  const auto ranked = std::count_if(b.tops.begin(), b.tops.end(),
                                    [](const TopEntry& e) { return e.name == "firefox"; });
  EXPECT_EQ(ranked, 1);
  EXPECT_EQ(b.tops.size(), 11u) << "the ranked top, no empty name, and the minute's list";
  ASSERT_EQ(b.events.size(), 2u);
  EXPECT_EQ(b.events[1].t - b.events[0].t, 5);
}

TEST_F(RecorderTest, OldRowsArePrunedAtTheFirstWriteAndThenOnceADay) {
  Cycles(31);
  ASSERT_EQ(store.prunedBefore.size(), 1u);
  const int64_t now = ToHistorySeconds(clock.now);
  EXPECT_EQ(now - store.prunedBefore[0], 31 * 86400 + 1) << "31 days back from that write";
  Cycles(23 * 60 * 2, 30);  // 23 hours later
  EXPECT_EQ(store.prunedBefore.size(), 1u);
  Cycles(2 * 60 * 2, 30);
  EXPECT_EQ(store.prunedBefore.size(), 2u);
}

struct FailureCase {
  const char* name;
  bool failOpen;
  std::string error;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class RecorderFailureTest : public RecorderTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RecorderFailureTest, FailingStoreSwitchesHistoryOffWithOneLogLine) {
  const FailureCase& c = GetParam();
  (c.failOpen ? store.openResult : store.appendResult) = {false, c.error, {}};
  Cycles(200);
  recorder.RecordEvent(HistoryEventKind::MonitoringStopped, "Monitoring Stopped");
  EXPECT_EQ(log, (std::vector<std::string>{"Usage history is off: " + c.error}));
  EXPECT_FALSE(recorder.On());
  EXPECT_EQ(recorder.Pending(), 0u) << "nothing piles up in memory";
  EXPECT_EQ(store.opens, 1);
  EXPECT_EQ(scan.calls, 1) << "no more process scans for a history that is off";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RecorderFailureTest,
    ::testing::Values(FailureCase{"Locked", true, "the file is locked by another program (h)"},
                      FailureCase{"Unwritable", true, "the file cannot be written (h)"},
                      FailureCase{"Full", false, "the disk is full (h)"}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

TEST_F(RecorderTest, NoticeOfAFileMovedAsideIsLoggedAndRecordingGoesOn) {
  store.openResult = {true, {}, "Usage history file was damaged; moved to x and started anew"};
  Cycles(31);
  EXPECT_EQ(log, (std::vector<std::string>{store.openResult.notice}));
  EXPECT_TRUE(recorder.On());
  EXPECT_EQ(store.appended.size(), 1u);
}

}  // namespace
}  // namespace tarnwick
