#include "platform/posix/hangup_signal.h"

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

extern "C" void OnHangup(int) {
  const int savedErrno = errno;
  gRequested.store(true);
  if (IEventWait* wait = gWait.load()) wait->Wake();
  errno = savedErrno;
}

}  // namespace

HangupSignal::HangupSignal(IEventWait& wait) {
  IEventWait* expected = nullptr;
  if (!gWait.compare_exchange_strong(expected, &wait)) return;
  installed_ = true;
  gRequested.store(false);
  SetSignalAction(SIGHUP, OnHangup);
}

HangupSignal::~HangupSignal() {
  if (!installed_) return;
  SetSignalAction(SIGHUP, SIG_DFL);
  gWait.store(nullptr);
}

bool HangupSignal::TakeRequest() {
  return installed_ && gRequested.exchange(false);
}

}  // namespace tarnwick
