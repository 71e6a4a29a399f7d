// The one entry by which the watches hand over an alert.
#pragma once

#include <string>

namespace tarnwick {

class IAlertSender {
 public:
  virtual ~IAlertSender() = default;
  // Decides whether and how the message goes out to `recipients` (the smsPhone setting). May
  // change the message in place (cap suffix, cut to 160 characters); the caller sees the change.
  virtual void SendAlert(const std::string& recipients, std::string& message) = 0;
};

}  // namespace tarnwick
