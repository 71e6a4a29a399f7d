// The event loop of the program without a window: the engine's timers become deadlines, URL reads
// complete while the loop waits, and a termination request ends it.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <vector>

#include "controls/form_controls.h"
#include "platform/event_wait.h"
#include "platform/settings_changes.h"
#include "platform/termination_requests.h"

namespace tarnwick {

class Engine;

class HeadlessLoop {
 public:
  // All three must outlive the loop.
  HeadlessLoop(Engine& engine, IEventWait& wait, const ITerminationRequests& termination);

  // Runs after every handler and every wait; the program prints its status lines there.
  void SetAfterEvents(std::function<void()> hook) { afterEvents_ = std::move(hook); }

  // Where requests to read the settings again come from (a signal, changed files); each must
  // outlive the loop. Requests that arrive together make one reload.
  void SetSettingsChanges(std::vector<ISettingsChanges*> sources) {
    settingsChanges_ = std::move(sources);
  }

  // Runs the engine's timers and the completions of URL reads until a termination request.
  void Run();

 private:
  // A model timer as the loop keeps it: a timer that was enabled or changed its interval runs
  // its first tick a whole interval later; from there its ticks keep to a grid of whole
  // intervals on the monotonic clock, so a handler's own time never pushes the next tick back.
  // A tick that comes late (a cycle longer than the interval) is still run, as soon as the
  // handler returns, but never closer than a twentieth of the interval to the start of the
  // previous one: samples taken back to back would measure no time at all. Ticks more than
  // kMaxBacklogTicks behind (the program was stopped) are dropped, and the grid's phase is kept.
  struct Deadline {
    Timer* timer = nullptr;
    void (Engine::*tick)() = nullptr;
    bool armed = false;
    int intervalMs = 0;
    long long dueNs = 0;        // the next tick's place on the grid
    long long notBeforeNs = 0;  // the earliest it may run
    long long RunsAtNs() const { return std::max(dueNs, notBeforeNs); }
  };
  static constexpr long long kMaxBacklogTicks = 10;
  static constexpr long long kCatchUpGapDivisor = 20;

  // `restarted` is the timer whose tick began at `restartedAtNs` and has just returned.
  void SyncTimers(const Deadline* restarted, long long restartedAtNs = 0);
  Deadline* NextDue();
  void AfterEvents();
  void ReloadWhenAsked();

  Engine& engine_;
  IEventWait& wait_;
  const ITerminationRequests& termination_;
  std::function<void()> afterEvents_;
  std::vector<ISettingsChanges*> settingsChanges_;
  std::array<Deadline, 3> deadlines_;
};

}  // namespace tarnwick
