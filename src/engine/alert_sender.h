// The last step of the dispatcher: an alert that passed its gate goes to the web service.
#pragma once

#include <string>

#include "results/dispatch_outcome.h"

namespace tarnwick {

class IAlertSender {
 public:
  virtual ~IAlertSender() = default;
  // Decides whether and how the message goes out to `recipients` (the smsPhone setting). May
  // change the message in place (cap suffix, cut to 160 characters); the caller sees the change.
  virtual DispatchOutcome SendAlert(const std::string& recipients, std::string& message) = 0;
};

}  // namespace tarnwick
