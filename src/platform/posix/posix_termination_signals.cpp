#include "platform/posix/posix_termination_signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform/posix/signal_action.h"

namespace tarnwick {

namespace {

// Shared with the handler; lock-free atomics are safe to touch there.
std::atomic<IEventWait*> gWait{nullptr};
std::atomic<bool> gRequested{false};
static_assert(std::atomic<IEventWait*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnTerminationSignal(int) {
  const int savedErrno = errno;
  gRequested.store(true);
  // Wake only writes a byte to the wait's socket.
  if (IEventWait* wait = gWait.load()) wait->Wake();
  errno = savedErrno;
}

}  // namespace

PosixTerminationSignals::PosixTerminationSignals(IEventWait& wait) {
  IEventWait* expected = nullptr;
  if (!gWait.compare_exchange_strong(expected, &wait)) return;
  installed_ = true;
  gRequested.store(false);
  SetSignalAction(SIGINT, OnTerminationSignal);
  SetSignalAction(SIGTERM, OnTerminationSignal);
}

PosixTerminationSignals::~PosixTerminationSignals() {
  if (!installed_) return;
  SetSignalAction(SIGINT, SIG_DFL);
  SetSignalAction(SIGTERM, SIG_DFL);
  gWait.store(nullptr);
}

bool PosixTerminationSignals::Requested() const {
  return installed_ && gRequested.load();
}

}  // namespace tarnwick
