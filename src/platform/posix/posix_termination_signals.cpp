#include "platform/posix/posix_termination_signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

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

void SetAction(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signalNumber, &action, nullptr);
}

}  // namespace

PosixTerminationSignals::PosixTerminationSignals(IEventWait& wait) {
  IEventWait* expected = nullptr;
  if (!gWait.compare_exchange_strong(expected, &wait)) return;
  installed_ = true;
  gRequested.store(false);
  SetAction(SIGINT, OnTerminationSignal);
  SetAction(SIGTERM, OnTerminationSignal);
}

PosixTerminationSignals::~PosixTerminationSignals() {
  if (!installed_) return;
  SetAction(SIGINT, SIG_DFL);
  SetAction(SIGTERM, SIG_DFL);
  gWait.store(nullptr);
}

bool PosixTerminationSignals::Requested() const {
  return installed_ && gRequested.load();
}

}  // namespace tarnwick
