// SIGINT and SIGTERM as termination requests: the handler records the request and wakes the
// program's wait, and the program ends at the next turn of its loop.
#pragma once

#include "platform/event_wait.h"
#include "platform/termination_requests.h"

namespace tarnwick {

class PosixTerminationSignals final : public ITerminationRequests {
 public:
  // Installs the handlers; `wait` is woken by each signal and must outlive this object. One
  // instance per process: a second one installs nothing and never reports a request.
  explicit PosixTerminationSignals(IEventWait& wait);
  // Puts the signals' default actions back.
  ~PosixTerminationSignals() override;
  PosixTerminationSignals(const PosixTerminationSignals&) = delete;
  PosixTerminationSignals& operator=(const PosixTerminationSignals&) = delete;

  bool Requested() const override;

 private:
  bool installed_ = false;
};

}  // namespace tarnwick
