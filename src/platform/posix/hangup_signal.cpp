#include "platform/posix/hangup_signal.h"

#include <atomic>
#include <cerrno>
#include <csignal>

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

void SetAction(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

HangupSignal::HangupSignal(IEventWait& wait) {
  IEventWait* expected = nullptr;
  if (!gWait.compare_exchange_strong(expected, &wait)) return;
  installed_ = true;
  gRequested.store(false);
  SetAction(OnHangup);
}

HangupSignal::~HangupSignal() {
  if (!installed_) return;
  SetAction(SIG_DFL);
  gWait.store(nullptr);
}

bool HangupSignal::TakeRequest() {
  return installed_ && gRequested.exchange(false);
}

}  // namespace tarnwick
