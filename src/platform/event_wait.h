// The one thread of a program without a window system waits here for its work: URL reads that
// complete, and wake-ups from signals or other threads.
#pragma once

#include <chrono>

namespace tarnwick {

class IEventWait {
 public:
  virtual ~IEventWait() = default;
  // Waits up to `limit` (0: only looks) for network activity or a Wake, then runs, on the calling
  // thread, the completions that are ready. Returns early on a completion or a Wake.
  virtual void WaitFor(std::chrono::milliseconds limit) = 0;
  // Ends a WaitFor that is under way, or makes the next one return at once. Safe from any thread
  // and from a signal handler (it only writes to a socket).
  virtual void Wake() = 0;
};

}  // namespace tarnwick
