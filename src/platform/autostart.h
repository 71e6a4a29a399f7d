// Starting the desktop program with the user's desktop session.
#pragma once

#include "platform/file_system.h"

namespace tarnwick {

class IAutostart {
 public:
  virtual ~IAutostart() = default;
  // The session's start entry for this program exists.
  virtual bool IsEnabled() = 0;
  // Writes (on) or removes (off) the start entry; the system's reason when that failed. Removing
  // an entry that is not there succeeds.
  virtual FileResult SetEnabled(bool on) = 0;
};

}  // namespace tarnwick
