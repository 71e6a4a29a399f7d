#include "headless/headless_loop.h"

#include <algorithm>

#include "forms/main_window_model.h"

namespace tarnwick {

namespace {

constexpr long long kNsPerMs = 1'000'000;
// The longest single wait; a request to end that comes without a wake-up still gets through.
constexpr long long kLongestWaitMs = 1000;

}  // namespace

HeadlessLoop::HeadlessLoop(MainWindowModel& model, IEventWait& wait,
                           const ITerminationRequests& termination)
    : model_(model),
      wait_(wait),
      termination_(termination),
      deadlines_{{{&model.tmrUpdate, &MainWindowModel::OnTmrUpdateTick},
                  {&model.Timer4, &MainWindowModel::OnTimer4Tick},
                  {&model.Timer5, &MainWindowModel::OnTimer5Tick}}} {}

void HeadlessLoop::SyncTimers(const Deadline* restarted) {
  const long long now = model_.deps().clock.MonotonicNs();
  for (Deadline& d : deadlines_) {
    const Timer& timer = *d.timer;
    if (!timer.enabled || timer.intervalMs <= 0) {
      d.armed = false;
      continue;
    }
    if (!d.armed || d.intervalMs != timer.intervalMs || &d == restarted) {
      d.armed = true;
      d.intervalMs = timer.intervalMs;
      d.dueNs = now + timer.intervalMs * kNsPerMs;
    }
  }
}

HeadlessLoop::Deadline* HeadlessLoop::NextDue() {
  Deadline* next = nullptr;
  for (Deadline& d : deadlines_) {
    if (d.armed && (next == nullptr || d.dueNs < next->dueNs)) next = &d;
  }
  return next;
}

void HeadlessLoop::AfterEvents() {
  if (afterEvents_) afterEvents_();
}

void HeadlessLoop::Run() {
  SyncTimers(nullptr);
  AfterEvents();
  bool closing = false;
  while (!model_.quitRequested) {
    if (termination_.Requested() && !closing) {
      closing = true;
      model_.OnUnload();
      AfterEvents();
      continue;
    }
    const long long now = model_.deps().clock.MonotonicNs();
    Deadline* next = NextDue();
    if (next != nullptr && next->dueNs <= now) {
      (model_.*(next->tick))();
      SyncTimers(next);
      AfterEvents();
      continue;
    }
    long long waitMs = kLongestWaitMs;
    if (next != nullptr) waitMs = std::min(waitMs, (next->dueNs - now + kNsPerMs - 1) / kNsPerMs);
    wait_.WaitFor(std::chrono::milliseconds(waitMs));
    // A completion may have switched timers on or off (the login's reply starts monitoring).
    SyncTimers(nullptr);
    AfterEvents();
  }
}

}  // namespace tarnwick
