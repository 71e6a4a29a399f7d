// Work handed to the loop's thread from other threads (a mailer's exit, a test mail's answer):
// queued, the loop woken, and run between events.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/event_wait.h"
#include "platform/ui_thread.h"

namespace tarnwick {

class PostedWork {
 public:
  explicit PostedWork(IEventWait& wait);
  // Work posted after the queue is gone is dropped.
  ~PostedWork();
  PostedWork(const PostedWork&) = delete;
  PostedWork& operator=(const PostedWork&) = delete;

  // Callable from any thread; each poster keeps the queue's state alive.
  PostToUiThread Poster();
  // Runs, on the loop's thread, the work posted so far.
  void RunPending();

 private:
  struct State {
    std::mutex mutex;
    std::vector<std::function<void()>> work;
    IEventWait* wait = nullptr;  // null once the queue is gone
  };
  std::shared_ptr<State> state_;
};

}  // namespace tarnwick
