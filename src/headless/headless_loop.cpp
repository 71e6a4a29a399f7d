#include "headless/headless_loop.h"

#include <algorithm>

#include "engine/engine.h"

namespace tarnwick {

namespace {

constexpr long long kNsPerMs = 1'000'000;
// The longest single wait; a request to end that comes without a wake-up still gets through.
constexpr long long kLongestWaitMs = 1000;

}  // namespace

HeadlessLoop::HeadlessLoop(Engine& engine, IEventWait& wait,
                           const ITerminationRequests& termination)
    : engine_(engine),
      wait_(wait),
      termination_(termination),
      deadlines_{{{&engine.cycleTimer, &Engine::OnCycleTimer},
                  {&engine.minuteTimer, &Engine::OnMinuteTimer},
                  {&engine.aliveTimer, &Engine::OnAliveTimer}}} {}

void HeadlessLoop::SyncTimers(const Deadline* restarted, long long restartedAtNs) {
  const long long now = engine_.deps().clock.MonotonicNs();
  for (Deadline& d : deadlines_) {
    const Timer& timer = *d.timer;
    if (!timer.enabled || timer.intervalMs <= 0) {
      d.armed = false;
      continue;
    }
    const long long intervalNs = timer.intervalMs * kNsPerMs;
    if (!d.armed || d.intervalMs != timer.intervalMs) {
      d.armed = true;
      d.intervalMs = timer.intervalMs;
      d.dueNs = now + intervalNs;
      d.notBeforeNs = d.dueNs;
    } else if (&d == restarted) {
      d.dueNs += intervalNs;
      const long long oldest = now - kMaxBacklogTicks * intervalNs;
      if (d.dueNs < oldest) {
        d.dueNs += (oldest - d.dueNs + intervalNs - 1) / intervalNs * intervalNs;
      }
      d.notBeforeNs = restartedAtNs + intervalNs / kCatchUpGapDivisor;
    }
  }
}

HeadlessLoop::Deadline* HeadlessLoop::NextDue() {
  Deadline* next = nullptr;
  for (Deadline& d : deadlines_) {
    if (d.armed && (next == nullptr || d.RunsAtNs() < next->RunsAtNs())) next = &d;
  }
  return next;
}

void HeadlessLoop::AfterEvents() {
  if (afterEvents_) afterEvents_();
}

void HeadlessLoop::ReloadWhenAsked() {
  bool asked = false;
  // Every source is asked, so that each forgets what it has passed on.
  for (ISettingsChanges* source : settingsChanges_) asked = source->TakeRequest() || asked;
  if (asked) engine_.ReloadSettings();
}

void HeadlessLoop::Run() {
  SyncTimers(nullptr);
  AfterEvents();
  while (!termination_.Requested()) {
    const long long now = engine_.deps().clock.MonotonicNs();
    Deadline* next = NextDue();
    if (next != nullptr && next->RunsAtNs() <= now) {
      (engine_.*(next->tick))();
      SyncTimers(next, now);
      AfterEvents();
      continue;
    }
    long long waitMs = kLongestWaitMs;
    if (next != nullptr) {
      waitMs = std::min(waitMs, (next->RunsAtNs() - now + kNsPerMs - 1) / kNsPerMs);
    }
    wait_.WaitFor(std::chrono::milliseconds(waitMs));
    ReloadWhenAsked();
    // A completion may have switched timers on or off (the login's reply starts monitoring).
    SyncTimers(nullptr);
    AfterEvents();
  }
}

}  // namespace tarnwick
