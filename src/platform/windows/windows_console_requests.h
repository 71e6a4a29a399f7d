// The console's Ctrl+C, Ctrl+Break, close, logoff and shutdown events as termination requests:
// the handler records the request and wakes the program's wait, and the program ends at the next
// turn of its loop.
#pragma once

#include "platform/event_wait.h"
#include "platform/termination_requests.h"

namespace tarnwick {

class WindowsConsoleRequests final : public ITerminationRequests {
 public:
  // Installs the handler; `wait` is woken by each event and must outlive this object. One
  // instance per process: a second one installs nothing and never reports a request.
  explicit WindowsConsoleRequests(IEventWait& wait);
  // Windows ends the process as soon as the handler of a close, logoff or shutdown event returns,
  // so that handler waits (up to the 5 s Windows allows) until this object is destroyed, after
  // the program's loop has ended.
  ~WindowsConsoleRequests() override;
  WindowsConsoleRequests(const WindowsConsoleRequests&) = delete;
  WindowsConsoleRequests& operator=(const WindowsConsoleRequests&) = delete;

  bool Requested() const override;

 private:
  bool installed_ = false;
};

}  // namespace tarnwick
