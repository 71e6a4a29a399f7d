// The loop of the program without a window, over the real main window model on fake services and
// a fake clock: only the loop's waits move the clock, so every deadline is exact.
#include "headless/headless_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

constexpr long long kNsPerMs = 1'000'000;

class FakeTermination final : public ITerminationRequests {
 public:
  bool requested = false;
  bool Requested() const override { return requested; }
};

// Moves the clock on by each wait's limit; actions scheduled for a moment run inside the wait
// that reaches it (as a completion would), and the wait ends there.
class FakeWait final : public IEventWait {
 public:
  explicit FakeWait(FakeClock& clock) : clock_(clock) {}
  std::vector<long long> limitsMs;
  std::multimap<long long, std::function<void()>> at;  // monotonic ns -> action

  void WaitFor(std::chrono::milliseconds limit) override {
    limitsMs.push_back(limit.count());
    const long long end = clock_.monotonicNs + limit.count() * kNsPerMs;
    if (!at.empty() && at.begin()->first <= end) {
      clock_.monotonicNs = std::max(clock_.monotonicNs, at.begin()->first);
      auto action = std::move(at.begin()->second);
      at.erase(at.begin());
      action();
      return;
    }
    clock_.monotonicNs = end;
  }
  void Wake() override {}

 private:
  FakeClock& clock_;
};

// The CPU counters of the fakes, noting when each cycle reads them; a read may take time.
class TimedCpuCounters final : public ICpuCounterSource {
 public:
  TimedCpuCounters(FakeClock& clock, FakeCpuCounters& inner) : clock_(clock), inner_(inner) {}
  std::vector<long long> readsNs;
  long long readTakesMs = 0;
  std::map<size_t, long long> slowReadsMs;  // read number (from 0) -> what that one takes
  bool Read(CpuTimes& out) override {
    const auto slow = slowReadsMs.find(readsNs.size());
    readsNs.push_back(clock_.monotonicNs);
    clock_.monotonicNs += (slow != slowReadsMs.end() ? slow->second : readTakesMs) * kNsPerMs;
    inner_.busy.push_back(10);
    return inner_.Read(out);
  }

 private:
  FakeClock& clock_;
  FakeCpuCounters& inner_;
};

class HeadlessLoopTest : public ModelFixture {
 protected:
  TimedCpuCounters counters{clock, cpu};
  FakeWait wait{clock};
  FakeTermination termination;
  long long startNs = clock.monotonicNs;

  void LoadWithInterval(const std::string& seconds, bool withAccount = false) {
    Settings s;
    s.TimeInterval = seconds;
    s.cpu_High = "101";
    s.mem_High = "101";
    s.num_High = "3";
    if (withAccount) {
      s.smsEmail = "ops@x.example";
      s.smsPassword = "pw";
    }
    WriteSettings(s);
    DeskDeps deps{clock, ui, system, counters, memory, processes, sound, files};
    deps.urlTransport = &transport;
    deps.mailerLauncher = &launcher;
    Build(deps);
    engine->Load();
    engine->ServiceLogin();
    counters.readsNs.clear();
  }

  // Ends the program at `ms` after the start, as a signal would.
  void TerminateAt(long long ms) {
    wait.at.emplace(startNs + ms * kNsPerMs, [this] { termination.requested = true; });
  }

  // Milliseconds from one cycle's CPU read to the next.
  std::vector<long long> CycleGapsMs() const {
    std::vector<long long> gaps;
    for (size_t i = 1; i < counters.readsNs.size(); ++i) {
      gaps.push_back((counters.readsNs[i] - counters.readsNs[i - 1]) / kNsPerMs);
    }
    return gaps;
  }
};

TEST_F(HeadlessLoopTest, CyclesKeepTheirIntervalWhateverTheCycleTakes) {
  const struct {
    const char* interval;
    long long cycleTakesMs;
    long long gapMs;
  } cases[] = {{"1", 0, 1000}, {"3", 0, 3000}, {"2", 700, 2000}, {"1", 990, 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.interval);
    LoadWithInterval(c.interval);
    counters.readTakesMs = c.cycleTakesMs;
    startNs = clock.monotonicNs;
    TerminateAt(20'000);
    HeadlessLoop(*engine, wait, termination).Run();
    const std::vector<long long> gaps = CycleGapsMs();
    ASSERT_GE(gaps.size(), 4u);
    for (long long gap : gaps) EXPECT_EQ(gap, c.gapMs);
    termination.requested = false;
  }
}

// A cycle that takes longer than the interval: the ticks it held up still run, one after
// another, their starts a twentieth of the interval apart, and the next ones fall back onto the
// grid. Only a backlog of more than ten ticks is dropped.
TEST_F(HeadlessLoopTest, ALateTimerCatchesUpWithoutSkippingATick) {
  const struct {
    const char* what;
    long long slowMs;                    // the third cycle (at 3000 ms) takes this long
    std::vector<long long> nextReadsMs;  // the cycles after it
  } cases[] = {
      {"a little late", 1200, {4200, 5000, 6000}},
      {"two ticks behind", 2500, {5500, 5550, 6000, 7000}},
      {"stalled for half a minute", 30'000, {33'000, 33'050, 33'100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LoadWithInterval("1");
    counters.slowReadsMs = {{2, c.slowMs}};
    startNs = clock.monotonicNs;
    TerminateAt(c.slowMs + 10'250);
    HeadlessLoop(*engine, wait, termination).Run();
    ASSERT_GT(counters.readsNs.size(), 3 + c.nextReadsMs.size());
    EXPECT_EQ((counters.readsNs[2] - startNs) / kNsPerMs, 3000);
    for (size_t i = 0; i < c.nextReadsMs.size(); ++i) {
      EXPECT_EQ((counters.readsNs[3 + i] - startNs) / kNsPerMs, c.nextReadsMs[i]) << i;
    }
    // One cycle for each second of the grid, at most ten of them caught up after the stall.
    const long long seconds = (clock.monotonicNs - startNs) / 1'000'000'000;
    const long long dropped = std::max(0LL, c.slowMs / 1000 - 11);
    EXPECT_EQ(static_cast<long long>(counters.readsNs.size()), seconds - dropped);
    termination.requested = false;
  }
}

TEST_F(HeadlessLoopTest, TerminationEndsTheLoopAndNoWaitOutlastsOneSecond) {
  LoadWithInterval("5");
  TerminateAt(7'300);
  int afterEvents = 0;
  HeadlessLoop loop(*engine, wait, termination);
  loop.SetAfterEvents([&] { ++afterEvents; });
  loop.Run();
  EXPECT_EQ(clock.monotonicNs, startNs + 7'300 * kNsPerMs)
      << "ends in the wait that got the request";
  for (long long limit : wait.limitsMs) EXPECT_LE(limit, 1000);
  EXPECT_GT(afterEvents, 7);
}

TEST_F(HeadlessLoopTest, ALoginReplyArrivingDuringAWaitStartsTheCycles) {
  LoadWithInterval("1", /*withAccount=*/true);
  ASSERT_FALSE(engine->MonitoringOn()) << "monitoring waits for the login's reply";
  ASSERT_EQ(transport.pending.size(), 1u);
  wait.at.emplace(startNs + 4'500 * kNsPerMs,
                  [this] { transport.CompleteNext(true, "welcome*250*1-ab12cd%"); });
  TerminateAt(8'000);
  HeadlessLoop(*engine, wait, termination).Run();
  EXPECT_TRUE(engine->MonitoringOn());
  ASSERT_FALSE(counters.readsNs.empty());
  EXPECT_EQ((counters.readsNs.front() - startNs) / kNsPerMs, 5'500)
      << "the first cycle one tick after the reply";
  EXPECT_EQ(engine->session.credits, "250");
}

}  // namespace
}  // namespace tarnwick::testing
