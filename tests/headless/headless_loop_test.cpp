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
  bool Read(CpuTimes& out) override {
    readsNs.push_back(clock_.monotonicNs);
    clock_.monotonicNs += readTakesMs * kNsPerMs;
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

TEST_F(HeadlessLoopTest, CyclesFollowTheIntervalCountedFromTheEndOfTheLastCycle) {
  const struct {
    const char* interval;
    long long cycleTakesMs;
    long long gapMs;
  } cases[] = {{"1", 0, 1000}, {"3", 0, 3000}, {"2", 700, 2700}};
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
