// Requests to read the settings files again while the program runs: a change of setting.ini,
// smtpsvr.ini or pgmsetting.ini in the settings folder (inotify on Linux, a directory change
// notification on Windows), SIGHUP on Linux and SERVICE_CONTROL_PARAMCHANGE for the Windows
// service. Each request wakes the program's wait; the program takes them on its own thread.
#pragma once

namespace tarnwick {

class ISettingsChanges {
 public:
  virtual ~ISettingsChanges() = default;
  // True once for any number of requests that arrived since the last call. Called on the
  // program's own thread; the requests themselves may come from any thread or a signal handler.
  virtual bool TakeRequest() = 0;
};

}  // namespace tarnwick
