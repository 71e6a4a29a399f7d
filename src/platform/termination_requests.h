// The user or the system asking a program without a window to end: Ctrl+C and SIGTERM on Linux,
// the console's Ctrl+C, close, logoff and shutdown events on Windows.
#pragma once

#include "platform/event_wait.h"

namespace tarnwick {

class ITerminationRequests {
 public:
  virtual ~ITerminationRequests() = default;
  // True once a request has arrived.
  virtual bool Requested() const = 0;
};

}  // namespace tarnwick
