// SIGHUP as a request to read the settings again, as daemons take it (systemctl reload sends it).
// The handler records the request and wakes the program's wait.
#pragma once

#include "platform/event_wait.h"
#include "platform/settings_changes.h"

namespace tarnwick {

class HangupSignal final : public ISettingsChanges {
 public:
  // Installs the handler; `wait` must outlive this object. One instance per process: a second one
  // installs nothing and never reports a request.
  explicit HangupSignal(IEventWait& wait);
  // Puts the default action back (which ends the process).
  ~HangupSignal() override;
  HangupSignal(const HangupSignal&) = delete;
  HangupSignal& operator=(const HangupSignal&) = delete;

  bool TakeRequest() override;

 private:
  bool installed_ = false;
};

}  // namespace tarnwick
