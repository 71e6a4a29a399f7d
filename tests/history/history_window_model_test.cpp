// The History window's model over a real store: the spans and their buckets, the thresholds and
// alert markers, the hover lookup, and the samples of one process.
#include "history/history_window_model.h"

#include <gtest/gtest.h>

#include "history/history_recorder.h"
#include "history/history_time.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::FakeClock;
using testing::TempDir;

class HistoryWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  FakeClock clock;
  Settings settings;
  SqliteHistoryStore store{dir / "Tarnwick_history.sqlite"};
  HistoryRecorder recorder{clock, store, nullptr};
  HistoryWindowModel window{clock, settings, &store, &recorder};
  int64_t now = 0;

  void SetUp() override {
    settings.cpu_High = "85";
    settings.mem_High = "not a number";
    clock.now = {2026, 12, 4, 9, 0, 0};
    now = ToHistorySeconds(clock.now);
    HistoryBatch b;
    // Two days of 5 s samples: 3 a.m. today was busy.
    for (int64_t t = now - 2 * 86400; t < now; t += 5) {
      const LocalTime at = FromHistorySeconds(t);
      const bool night = at.day == 4 && at.hour == 3 && at.minute < 10;
      b.samples.push_back({t, night ? 97 : 15, 40, 4000});
    }
    const int64_t three = ToHistorySeconds({2026, 12, 4, 3, 0, 0});
    b.tops.push_back({three + 60, TopKind::Cpu, 1, "backup", 900, 95});
    b.tops.push_back({three + 60, TopKind::Cpu, 2, "cron", 901, 2});
    b.tops.push_back({three + 60, TopKind::Memory, 1, "postgres", 902, 30});
    b.tops.push_back({three + 120, TopKind::Cpu, 1, "backup", 900, 96});
    b.events.push_back({three + 50, HistoryEventKind::AlertRaised, "CPU 97% exceed 85%", 0, false});
    b.events.push_back({three + 700, HistoryEventKind::BackToNormal, "CPU 15% back", 0, false});
    ASSERT_TRUE(store.Append(b).ok);
  }
};

TEST_F(HistoryWindowTest, EachSpanEndsNowWithAboutSevenHundredPoints) {
  window.Show();
  EXPECT_TRUE(window.visible);
  EXPECT_EQ(window.spanIndex, HistoryWindowModel::kDefaultSpan);
  const struct {
    int index;
    int64_t seconds;
    int64_t bucket;
  } cases[] = {{0, 3600, 5}, {1, 21600, 30}, {2, 86400, 120}, {3, 604800, 840}};
  for (const auto& c : cases) {
    window.OnSpanClick(c.index);
    EXPECT_EQ(window.to, now + 1) << c.index;
    EXPECT_EQ(window.to - window.from, c.seconds) << c.index;
    EXPECT_EQ(window.bucketSeconds, c.bucket) << c.index;
    // Two days of samples fill the shorter spans and two sevenths of the week.
    const size_t full = c.index == 3 ? 2 * 86400 / 840 : 720;
    EXPECT_LE(window.points.size(), full + 2) << c.index;
    EXPECT_GE(window.points.size(), full - 2) << c.index;
  }
  window.OnSpanClick(7);
  EXPECT_EQ(window.spanIndex, 3) << "an index out of range changes nothing";
}

TEST_F(HistoryWindowTest, ThresholdsAndAlertMarkersFollowTheSettingsAndTheSpan) {
  window.Show();
  EXPECT_EQ(window.cpuThreshold, 85);
  EXPECT_FALSE(window.memThreshold.has_value()) << "a threshold that is no number has no line";
  ASSERT_EQ(window.alerts.size(), 1u) << "alerts only, not back-to-normal notices";
  EXPECT_EQ(window.alerts[0].cpu, 97) << "the marker sits on the graph";
  EXPECT_EQ(window.alerts[0].text, "CPU 97% exceed 85%");
  window.OnSpanClick(0);
  EXPECT_TRUE(window.alerts.empty());
}

TEST_F(HistoryWindowTest, HoverShowsTheBucketAndTheTopProcessesRecordedNearest) {
  window.Show();
  const int64_t three = ToHistorySeconds({2026, 12, 4, 3, 0, 0});
  window.OnHover(three + 65);
  EXPECT_EQ(window.lblHover,
            "2026-12-04 03:00:00  CPU 97%  Memory 40%\n"
            "2026-12-04 03:01:00  Top CPU: backup 95.0%, cron 2.0%  Top memory: postgres 30.0%");
  window.OnHover(three - 3 * 3600);
  EXPECT_EQ(window.lblHover,
            "2026-12-04 00:00:00  CPU 15%  Memory 40%\nno process recorded near this time");
  window.OnHover(now + 5000);
  EXPECT_EQ(window.lblHover.substr(0, 19), HistoryTimeText(window.points.back().t))
      << "past the end: the last point";
}

TEST_F(HistoryWindowTest, NearestPointCoversItsWholeBucket) {
  window.points = {{100, 1, 1}, {110, 2, 2}, {200, 3, 3}};
  window.bucketSeconds = 10;
  const struct {
    int64_t t;
    int index;
  } cases[] = {{0, 0}, {100, 0}, {109, 0}, {110, 1}, {119, 1}, {150, 1}, {170, 2}, {999, 2}};
  for (const auto& c : cases) EXPECT_EQ(window.NearestPoint(c.t), c.index) << c.t;
  window.points.clear();
  EXPECT_EQ(window.NearestPoint(5), -1);
}

TEST_F(HistoryWindowTest, DoubleClickOnARowListsThatProcessesSamples) {
  window.Show();
  ASSERT_GE(window.topRows.size(), 2u);
  EXPECT_EQ(window.topRows[0].name, "backup");
  EXPECT_EQ(window.topRows[0].timesOnTop, 2);
  window.OnTopDoubleClick(0);
  EXPECT_EQ(window.lblSamples, "Samples of backup");
  ASSERT_EQ(window.processSamples.size(), 2u);
  EXPECT_DOUBLE_EQ(window.processSamples[1].share, 96);
  window.OnTopDoubleClick(99);
  EXPECT_EQ(window.lblSamples, "Samples of backup") << "a row that is not there changes nothing";
}

TEST_F(HistoryWindowTest, PendingSamplesOfTheRecorderAreShownAndAnOffHistorySaysSo) {
  clock.Advance(10);
  recorder.RecordCycle(77, 41, 4100);
  window.OnSpanClick(0);
  EXPECT_EQ(window.points.back().cpu, 77) << "what the recorder held is written first";
  EXPECT_EQ(window.lblNote, "");

  HistoryWindowModel none(clock, settings, nullptr, nullptr);
  none.Show();
  EXPECT_TRUE(none.points.empty());
  EXPECT_EQ(none.lblNote, "The usage history is off; see the log.");
}

}  // namespace
}  // namespace tarnwick
