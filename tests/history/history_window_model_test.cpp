// The History window's model over a real store: the span it opens on, the spans and their
// buckets, the refresh while open, zoom and back, the events list with its filter, sort and
// selection, each watch's markers on its own graph, the hover lookup, the samples of one process
// and the exports of what the graphs show.
#include "history/history_window_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <sstream>

#include "domain/history_time.h"
#include "history/history_recorder.h"
#include "history/history_report.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::FakeClock;
using testing::RecordingUi;
using testing::TempDir;

// An alert as the monitor records it.
HistoryEvent Alert(int64_t t, HistoryWatch watch, double value, std::string top, SendState sent,
                   std::string text) {
  HistoryEvent e;
  e.t = t;
  e.kind = watch == HistoryWatch::ProgramCpu || watch == HistoryWatch::ProgramMemory
               ? HistoryEventKind::ProgramAlert
               : HistoryEventKind::AlertRaised;
  e.watch = watch;
  e.value = value;
  e.top = std::move(top);
  e.sent = sent;
  e.text = std::move(text);
  return e;
}

// Files the window's exports write, kept in memory.
struct MemoryFiles {
  std::map<std::string, std::string> written;
  bool fail = false;

  struct File final : std::ostringstream {
    File(MemoryFiles& files, std::string path) : files_(files), path_(std::move(path)) {}
    ~File() override { files_.written[path_] = str(); }
    MemoryFiles& files_;
    std::string path_;
  };
  std::unique_ptr<std::ostream> Create(const std::string& path) {
    if (fail) {
      errno = EACCES;  // as the system's open would say
      return nullptr;
    }
    return std::make_unique<File>(*this, path);
  }
};

class HistoryWindowTest : public ::testing::Test {
 protected:
  TempDir dir;
  FakeClock clock;
  Settings settings;
  RecordingUi ui;
  MemoryFiles files;
  SqliteHistoryStore store{dir / "Tarnwick_history.sqlite"};
  HistoryRecorder recorder{clock, store, nullptr};
  HistoryWindowModel window{
      clock, settings, &store, &recorder,
      HistoryExport{&ui, [this](const std::string& path) { return files.Create(path); },
                    "/exports"}};
  int64_t now = 0;
  int64_t three = 0;

  void SetUp() override {
    settings.cpu_High = "85";
    settings.mem_High = "not a number";
    clock.now = {2026, 12, 4, 9, 0, 0};
    now = ToHistorySeconds(clock.now);
    three = ToHistorySeconds({2026, 12, 4, 3, 0, 0});
    HistoryBatch b;
    // Two days of 5 s samples: 3 a.m. today was busy.
    for (int64_t t = now - 2 * 86400; t < now; t += 5) {
      const LocalTime at = FromHistorySeconds(t);
      const bool night = at.day == 4 && at.hour == 3 && at.minute < 10;
      b.samples.push_back({t, night ? 97 : 15, night ? 70 : 40, 4000});
    }
    b.tops.push_back({three + 60, TopKind::Cpu, 1, "backup", 900, 95});
    b.tops.push_back({three + 60, TopKind::Cpu, 2, "cron", 901, 2});
    b.tops.push_back({three + 60, TopKind::Memory, 1, "postgres", 902, 30});
    b.tops.push_back({three + 120, TopKind::Cpu, 1, "backup", 900, 96});
    b.events.push_back({three - 3600, HistoryEventKind::MonitoringStarted, "Monitoring Started"});
    HistoryEvent cpu = Alert(three + 50, HistoryWatch::Cpu, 97, "backup", SendState::Sent,
                             "12-04 03:00:50 WEB01 CPU 97% exceed 85% for 50 sec.");
    cpu.kill = KillOutcome::Terminated;
    cpu.pid = 900;
    b.events.push_back(cpu);
    b.events.push_back({three + 50, HistoryEventKind::ProcessTerminated, "backup", 900, true});
    b.events.push_back(Alert(three + 100, HistoryWatch::Memory, 70, "postgres", SendState::LogOnly,
                             "MEMORY 70% exceed ... (Not first time,log only)"));
    b.events.push_back(Alert(three + 200, HistoryWatch::ProgramCpu, 61.5, "backup", SendState::Sent,
                             "backup CPU 61% exceed 60%"));
    HistoryEvent normal;
    normal.t = three + 700;
    normal.kind = HistoryEventKind::BackToNormal;
    normal.watch = HistoryWatch::Cpu;
    normal.value = 15;
    normal.sent = SendState::Sent;
    normal.text = "CPU 15% back to normal";
    b.events.push_back(normal);
    ASSERT_TRUE(store.Append(b).ok);
  }

  // The cells of the row whose time and kind are given.
  const EventRow* Row(int64_t t, std::string_view kind) const {
    for (const EventRow& row : window.eventRows) {
      if (row.t == t && row.cells[static_cast<size_t>(EventColumn::Kind)] == kind) return &row;
    }
    return nullptr;
  }
  std::vector<std::string> Column(EventColumn column) const {
    std::vector<std::string> cells;
    for (const EventRow& row : window.eventRows) {
      cells.push_back(row.cells[static_cast<size_t>(column)]);
    }
    return cells;
  }
};

TEST(HistoryWindowSpanChoice, OpensOnTheLastHourUntilTheHistoryIsADayOld) {
  const struct {
    int64_t age;  // seconds from the oldest sample to now; -1: no samples
    int span;
  } cases[] = {{-1, 0}, {600, 0}, {86399, 0}, {86400, 2}, {20 * 86400, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.age);
    TempDir dir;
    FakeClock clock;
    Settings settings;
    SqliteHistoryStore store(dir / "h.sqlite");
    ASSERT_TRUE(store.Open().ok);
    const int64_t now = ToHistorySeconds(clock.now);
    if (c.age >= 0) {
      HistoryBatch b;
      b.samples.push_back({now - c.age, 10, 10, 100});
      b.samples.push_back({now - 1, 10, 10, 100});
      ASSERT_TRUE(store.Append(b).ok);
    }
    HistoryWindowModel window(clock, settings, &store, nullptr);
    window.Show();
    EXPECT_EQ(window.spanIndex, c.span);
    EXPECT_EQ(window.to - window.from, kHistorySpans[static_cast<size_t>(c.span)].seconds);
  }
}

TEST_F(HistoryWindowTest, TheUsersSpanStaysAcrossClosingButAZoomDoesNot) {
  window.Show();
  EXPECT_EQ(window.spanIndex, HistoryWindowModel::kOldSpan) << "two days of history";
  window.OnSpanClick(3);
  window.OnZoom(three, three + 3600);
  window.OnClose();
  EXPECT_FALSE(window.tmrRefresh.enabled) << "no refresh while closed";
  window.Show();
  EXPECT_EQ(window.spanIndex, 3);
  EXPECT_FALSE(window.Zoomed());
  EXPECT_EQ(window.viewTo - window.viewFrom, 7 * 86400);
  EXPECT_TRUE(window.tmrRefresh.enabled);
  EXPECT_EQ(window.tmrRefresh.intervalMs, 60000);
}

TEST_F(HistoryWindowTest, EachSpanEndsNowWithAboutSevenHundredPoints) {
  window.Show();
  const struct {
    int index;
    int64_t seconds;
    int64_t bucket;
  } cases[] = {{0, 3600, 5}, {1, 21600, 30}, {2, 86400, 120}, {3, 604800, 840}, {4, 2678400, 3720}};
  for (const auto& c : cases) {
    window.OnSpanClick(c.index);
    EXPECT_EQ(window.to, now + 1) << c.index;
    EXPECT_EQ(window.to - window.from, c.seconds) << c.index;
    EXPECT_EQ(window.viewTo - window.viewFrom, c.seconds) << c.index;
    EXPECT_EQ(window.bucketSeconds, c.bucket) << c.index;
    // Two days of samples fill the shorter spans and part of the longer ones.
    const size_t full = static_cast<size_t>(std::min<int64_t>(c.seconds, 2 * 86400) / c.bucket);
    EXPECT_LE(window.points.size(), full + 2) << c.index;
    EXPECT_GE(window.points.size(), full - 2) << c.index;
  }
  window.OnSpanClick(7);
  EXPECT_EQ(window.spanIndex, 4) << "an index out of range changes nothing";
}

TEST_F(HistoryWindowTest, ZoomShowsTheStretchInFinerBucketsAndBackReturns) {
  window.Show();
  window.OnZoom(three + 600, three - 600);  // dragged leftwards
  EXPECT_TRUE(window.Zoomed());
  EXPECT_TRUE(window.cmdZoomBack.enabled);
  EXPECT_EQ(window.viewFrom, three - 600);
  EXPECT_EQ(window.viewTo, three + 600);
  EXPECT_EQ(window.bucketSeconds, 2);
  EXPECT_EQ(window.points.size(), 240u) << "every 5 s sample of the twenty minutes";
  EXPECT_EQ(window.from, now + 1 - 86400) << "the span, and the events list, stay";

  window.OnZoom(three, three + 30);
  EXPECT_EQ(window.viewFrom, three - 600) << "a drag of less than a minute is a click";
  window.OnZoom(three, three + 300);
  window.OnZoomBackClick();
  EXPECT_EQ(window.viewFrom, three - 600) << "back one zoom";
  window.OnZoomBackClick();
  EXPECT_FALSE(window.Zoomed());
  EXPECT_FALSE(window.cmdZoomBack.enabled);
  EXPECT_EQ(window.viewFrom, window.from);
  EXPECT_EQ(window.bucketSeconds, 120);
}

TEST_F(HistoryWindowTest, RefreshMovesTheSpanOnAndKeepsZoomSortFilterAndSelection) {
  window.Show();
  window.OnZoom(three - 600, three + 600);
  window.OnEventFilterClick(1);  // alerts
  window.OnEventHeaderClick(static_cast<int>(EventColumn::Value));
  window.OnEventSelect(0);
  const int64_t selected = window.eventRows[0].id;

  clock.Advance(60);
  recorder.RecordCycle(33, 44, 4400);  // a sample the recorder still holds
  window.OnTmrRefreshTick();
  EXPECT_EQ(window.to, now + 61) << "the span moved on";
  EXPECT_EQ(window.viewFrom, three - 600) << "the zoom stayed";
  EXPECT_EQ(window.eventFilterIndex, 1);
  EXPECT_EQ(window.eventSortColumn, EventColumn::Value);
  ASSERT_EQ(window.selectedEventRow, 0);
  EXPECT_EQ(window.eventRows[0].id, selected);
  window.OnZoomBackClick();
  EXPECT_EQ(window.points.back().cpu, 33) << "what the recorder held was written first";

  window.OnClose();
  clock.Advance(60);
  window.OnTmrRefreshTick();
  EXPECT_TRUE(window.points.empty()) << "a closed window reads nothing";
}

TEST_F(HistoryWindowTest, EventsListSaysWhatHappened) {
  window.Show();
  ASSERT_EQ(window.eventRows.size(), 6u);
  using C = EventColumn;
  const struct {
    int64_t t;
    std::string_view kind;
    std::array<std::string_view, 4> cells;  // watch, value, top process, kill
    std::string_view sent;
  } cases[] = {
      {three + 50, "alert", {"CPU", "97%", "backup", "terminated (pid 900)"}, "sent"},
      {three + 50, "terminated", {"CPU", "", "backup", "terminated (pid 900)"}, ""},
      {three + 100, "alert", {"Memory", "70%", "postgres", ""}, "log only"},
      {three + 200, "program alert", {"Program CPU", "61.5%", "backup", ""}, "sent"},
      {three + 700, "back to normal", {"CPU", "15%", "", ""}, "sent"},
      {three - 3600, "started", {"", "", "", ""}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    const EventRow* row = Row(c.t, c.kind);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->cells[static_cast<size_t>(C::Time)], HistoryTimeText(c.t));
    EXPECT_EQ(row->cells[static_cast<size_t>(C::Watch)], c.cells[0]);
    EXPECT_EQ(row->cells[static_cast<size_t>(C::Value)], c.cells[1]);
    EXPECT_EQ(row->cells[static_cast<size_t>(C::Top)], c.cells[2]);
    EXPECT_EQ(row->cells[static_cast<size_t>(C::Kill)], c.cells[3]);
    EXPECT_EQ(row->cells[static_cast<size_t>(C::Sent)], c.sent);
  }
  EXPECT_EQ(Row(three + 50, "terminated")->cells[static_cast<size_t>(C::Message)],
            "backup (pid 900) terminated");
  EXPECT_TRUE(Row(three + 100, "alert")->logOnly);
  EXPECT_EQ(Row(three + 50, "alert")->tip,
            "2026-12-04 03:00:50  alert, CPU 97%, top backup, terminated (pid 900), sent\n"
            "12-04 03:00:50 WEB01 CPU 97% exceed 85% for 50 sec.");
}

TEST_F(HistoryWindowTest, EventsFilterByKindAndSortByAnyColumn) {
  window.Show();
  EXPECT_EQ(window.eventRows.front().t, three + 700) << "newest first";
  const struct {
    int filter;
    std::vector<std::string> kinds;
  } filters[] = {
      {1, {"alert", "alert"}}, {2, {"program alert"}}, {3, {"back to normal"}},
      {4, {"terminated"}},     {5, {"started"}},
  };
  for (const auto& f : filters) {
    window.OnEventFilterClick(f.filter);
    EXPECT_EQ(Column(EventColumn::Kind), f.kinds) << f.filter;
  }
  window.OnEventFilterClick(0);
  EXPECT_EQ(window.eventRows.size(), 6u);

  window.OnEventHeaderClick(static_cast<int>(EventColumn::Value));
  EXPECT_EQ(Column(EventColumn::Value),
            (std::vector<std::string>{"97%", "70%", "61.5%", "15%", "", ""}))
      << "highest first; no value last";
  window.OnEventHeaderClick(static_cast<int>(EventColumn::Value));
  EXPECT_EQ(Column(EventColumn::Value).back(), "97%") << "a second click turns the order round";
  window.OnEventHeaderClick(static_cast<int>(EventColumn::Sent));
  EXPECT_FALSE(window.eventSortDescending) << "text from A";
  EXPECT_EQ(Column(EventColumn::Sent),
            (std::vector<std::string>{"", "", "log only", "sent", "sent", "sent"}));
  window.OnEventHeaderClick(static_cast<int>(EventColumn::Time));
  EXPECT_EQ(window.eventRows.front().t, three + 700);
  EXPECT_EQ(window.eventRows[3].cells[static_cast<size_t>(EventColumn::Kind)], "terminated")
      << "equal times keep the order they happened in, newest first";
}

TEST_F(HistoryWindowTest, TextColumnsSortAsAReaderWouldWhateverTheCase) {
  HistoryBatch b;
  b.events.push_back(Alert(three + 300, HistoryWatch::Cpu, 90, "Xorg", SendState::Sent, "x"));
  b.events.push_back(Alert(three + 310, HistoryWatch::Cpu, 91, "apache", SendState::Sent, "a"));
  ASSERT_TRUE(store.Append(b).ok);
  window.Show();
  window.OnEventHeaderClick(static_cast<int>(EventColumn::Top));
  std::vector<std::string> tops = Column(EventColumn::Top);
  std::erase(tops, "");
  EXPECT_EQ(tops,
            (std::vector<std::string>{"apache", "backup", "backup", "backup", "postgres", "Xorg"}));
}

TEST(TimeAxis, TicksFallOnRoundTimesWithLabelsOfTheirOwn) {
  const auto at = [](int day, int hour, int minute, int second = 0) {
    return ToHistorySeconds({2026, 12, day, hour, minute, second});
  };
  const struct {
    const char* name;
    int64_t from, to;
    std::vector<std::string> labels;
  } cases[] = {
      {"SevenMinutesInMinutes",
       at(4, 7, 15, 30),
       at(4, 7, 22, 30),
       {"07:16", "07:17", "07:18", "07:19", "07:20", "07:21", "07:22"}},
      {"AnHourInTenMinutes",
       at(4, 9, 0, 7),
       at(4, 10, 0, 7),
       {"09:10", "09:20", "09:30", "09:40", "09:50", "10:00"}},
      {"ADayInThreeHours",
       at(4, 9, 0),
       at(5, 9, 0),
       {"09:00", "12:00", "15:00", "18:00", "21:00", "00:00", "03:00", "06:00"}},
      {"TwoDaysWithTheirDates",
       at(3, 8, 0),
       at(5, 8, 0),
       {"12-03 12:00", "12-03 18:00", "12-04 00:00", "12-04 06:00", "12-04 12:00", "12-04 18:00",
        "12-05 00:00", "12-05 06:00"}},
      {"AWeekInDays",
       at(1, 0, 0),
       at(8, 0, 0),
       {"12-01", "12-02", "12-03", "12-04", "12-05", "12-06", "12-07"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> labels;
    for (const TimeTick& tick : TimeAxisTicks(c.from, c.to)) labels.push_back(tick.label);
    EXPECT_EQ(labels, c.labels);
  }
  // Every span a zoom or a span button can give: round, few, and never a label twice.
  const std::set<int64_t> steps{60,    120,   300,   600,   900,    1800,   3600,   7200,
                                10800, 21600, 43200, 86400, 172800, 604800, 1209600};
  for (int64_t span = 60; span <= 31 * 86400; span = span * 5 / 4 + 7) {
    SCOPED_TRACE(span);
    const int64_t from = at(4, 7, 17, 13);
    const std::vector<TimeTick> ticks = TimeAxisTicks(from, from + span);
    ASSERT_FALSE(ticks.empty());
    EXPECT_LE(ticks.size(), static_cast<size_t>(kMostTimeTicks));
    const int64_t step = ticks.size() > 1 ? ticks[1].t - ticks[0].t : 60;
    EXPECT_TRUE(steps.contains(step)) << step;
    std::set<std::string> seen;
    for (const TimeTick& tick : ticks) {
      EXPECT_TRUE(seen.insert(tick.label).second) << tick.label;
      EXPECT_EQ(tick.t % std::min<int64_t>(step, 86400), 0) << tick.label;
      EXPECT_GE(tick.t, from);
      EXPECT_LT(tick.t, from + span);
    }
  }
}

TEST_F(HistoryWindowTest, EachWatchsAlertsAreMarkedOnItsOwnGraphOnly) {
  window.Show();
  ASSERT_EQ(window.cpuMarkers.size(), 2u) << "the machine's and the program's CPU alerts";
  EXPECT_EQ(window.cpuMarkers[0].t, three + 50);
  EXPECT_EQ(window.cpuMarkers[0].value, 97) << "on the graph's line";
  EXPECT_EQ(window.cpuMarkers[0].style, MarkerStyle::Alert);
  EXPECT_EQ(window.cpuMarkers[0].tip, Row(three + 50, "alert")->tip);
  EXPECT_EQ(window.cpuMarkers[1].t, three + 200);
  ASSERT_EQ(window.memMarkers.size(), 1u);
  EXPECT_EQ(window.memMarkers[0].value, 70);
  EXPECT_EQ(window.memMarkers[0].style, MarkerStyle::LogOnly);
  EXPECT_EQ(window.cpuThreshold, 85);
  EXPECT_FALSE(window.memThreshold.has_value()) << "a threshold that is no number has no line";

  window.OnZoom(three + 150, three + 3000);
  EXPECT_EQ(window.cpuMarkers.size(), 1u) << "only what the graphs show";
  EXPECT_TRUE(window.memMarkers.empty());
  window.OnSpanClick(0);
  EXPECT_TRUE(window.cpuMarkers.empty());
}

TEST_F(HistoryWindowTest, SelectingAnEventMarksItAndMovesZoomedGraphsThere) {
  window.Show();
  window.OnZoom(now - 7200, now - 3600);
  const int64_t width = window.viewTo - window.viewFrom;
  window.OnEventFilterClick(1);
  ASSERT_EQ(window.eventRows[1].t, three + 50);
  window.OnEventSelect(1);
  EXPECT_EQ(window.selectedEventRow, 1);
  EXPECT_EQ(window.selectedTime, three + 50);
  EXPECT_EQ(window.viewTo - window.viewFrom, width) << "the same zoom";
  EXPECT_EQ(window.viewFrom, three + 50 - width / 2) << "centred on the event";
  ASSERT_EQ(window.cpuMarkers.size(), 2u);
  EXPECT_TRUE(window.cpuMarkers[0].selected);
  EXPECT_FALSE(window.cpuMarkers[1].selected);
  EXPECT_EQ(window.lblHover.substr(0, 40), "2026-12-04 03:00:50  CPU 97%  Memory 70%")
      << "what was running then";

  window.OnEventFilterClick(0);
  EXPECT_EQ(window.eventRows[window.selectedEventRow].t, three + 50) << "the selection follows";
  window.OnEventSelect(-1);
  EXPECT_FALSE(window.selectedTime.has_value());
  EXPECT_FALSE(window.cpuMarkers[0].selected);
}

// A click on the tray's note of an event opens the window on it: the kind tells an alert from the
// termination at the same second, and a filter that hides the event gives way.
TEST_F(HistoryWindowTest, ANotesClickOpensTheWindowOnItsEvent) {
  const struct {
    HistoryEventKind kind;
    int filterBefore;
    std::string_view kindShown;
    int filterAfter;
  } cases[] = {
      {HistoryEventKind::AlertRaised, 1, "alert", 1},
      {HistoryEventKind::ProcessTerminated, 1, "terminated", 0},
      {HistoryEventKind::ProgramAlert, 0, "program alert", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    window.OnClose();
    window.OnEventFilterClick(c.filterBefore);
    const int64_t t = c.kind == HistoryEventKind::ProgramAlert ? three + 200 : three + 50;
    window.ShowEvent(t, c.kind);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.eventFilterIndex, c.filterAfter);
    ASSERT_GE(window.selectedEventRow, 0);
    const EventRow& row = window.eventRows[static_cast<size_t>(window.selectedEventRow)];
    EXPECT_EQ(row.t, t);
    EXPECT_EQ(row.cells[static_cast<size_t>(EventColumn::Kind)], c.kindShown);
    EXPECT_EQ(window.selectedTime, t);
  }
  // An event the history does not hold (it was off) opens the window without a selection.
  window.ShowEvent(now - 5, HistoryEventKind::AlertRaised);
  EXPECT_TRUE(window.visible);
}

TEST_F(HistoryWindowTest, HoverShowsTheBucketAndTheTopProcessesRecordedNearest) {
  window.Show();
  window.OnHover(three + 65);
  EXPECT_EQ(window.lblHover,
            "2026-12-04 03:00:00  CPU 97%  Memory 70%\n"
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

TEST_F(HistoryWindowTest, DoubleClickOnARowListsThatProcessesSamplesWhileTheGraphsShowThem) {
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
  window.OnZoom(three + 90, three + 3600);
  EXPECT_EQ(window.processSamples.size(), 1u) << "the samples of what the graphs show";
  EXPECT_EQ(window.topRows.size(), 1u);
}

TEST_F(HistoryWindowTest, OffHistorySaysSoAndExportsNothing) {
  HistoryWindowModel none(clock, settings, nullptr, nullptr, {&ui, nullptr, ""});
  none.Show();
  EXPECT_TRUE(none.points.empty());
  EXPECT_TRUE(none.eventRows.empty());
  EXPECT_EQ(none.lblNote, "The usage history is off; see the log.");
  EXPECT_FALSE(none.cmdExportCsv.enabled);
  none.OnExportCsvClick();
  EXPECT_TRUE(ui.saves.empty());
}

TEST_F(HistoryWindowTest, ExportWritesTheSamplesTheGraphsShow) {
  window.Show();
  window.OnZoom(three, three + 60);
  ASSERT_TRUE(window.cmdExportCsv.enabled);

  window.OnExportCsvClick();  // cancelled
  ASSERT_EQ(ui.saves.size(), 1u);
  EXPECT_EQ(ui.saves[0].initialFolder, "/exports");
  EXPECT_EQ(ui.saves[0].initialName, "Tarnwick_history_20261204-0300_20261204-0301.csv");
  EXPECT_EQ(ui.saves[0].filterPattern, "*.csv");
  EXPECT_TRUE(files.written.empty());

  ui.saveResult = "/exports/night.csv";
  window.OnExportCsvClick();
  const std::string& csv = files.written["/exports/night.csv"];
  EXPECT_TRUE(csv.starts_with(CsvHeader()));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 13) << "the header and twelve samples";
  EXPECT_NE(csv.find("2026-12-04 03:00:00,97,70,4000"), std::string::npos);
  EXPECT_EQ(window.lblNote, "Written to /exports/night.csv");

  files.fail = true;
  window.OnExportCsvClick();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Cannot write the file /exports/night.csv: Permission denied");
  EXPECT_EQ(ui.messages[0].title, "Tarnwick");
}

// The view encodes the picture; the file is the model's, made like the CSV's (owner-only).
TEST_F(HistoryWindowTest, PictureIsEncodedByTheViewIntoTheExportFileChosen) {
  bool encodes = true;
  window.pictureEncoder = [&](std::ostream& out) {
    out << "PNG bytes";
    return encodes;
  };
  window.Show();
  ASSERT_TRUE(window.cmdSavePicture.enabled);
  ui.saveResult = "/exports/graphs.png";
  window.OnSavePictureClick();
  EXPECT_EQ(files.written["/exports/graphs.png"], "PNG bytes");
  EXPECT_EQ(ui.saves.back().filterPattern, "*.png");
  EXPECT_EQ(window.lblNote, "Written to /exports/graphs.png");

  const struct {
    bool encodes;
    bool fileFails;
    const char* message;
  } failures[] = {
      {false, false, "Cannot write the file /exports/graphs.png"},
      {true, true, "Cannot write the file /exports/graphs.png: Permission denied"},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.message);
    ui.messages.clear();
    encodes = c.encodes;
    files.fail = c.fileFails;
    window.OnSavePictureClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.message);
  }
}

}  // namespace
}  // namespace tarnwick
