// Requests to read the settings again on Windows: a thread watches the settings folder with
// ReadDirectoryChangesW for setting.ini, smtpsvr.ini and pgmsetting.ini (created, written, renamed
// into place as a save does), and the service's SERVICE_CONTROL_PARAMCHANGE calls
// RequestSettingsReload. Each request sets the flag TakeRequest reads and wakes the program's wait.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_wait.h"
#include "platform/settings_changes.h"
#include "platform/windows/handle.h"

namespace tarnwick {

// One instance per process: the service's request goes to the one made last.
class WindowsSettingsChanges final : public ISettingsChanges {
 public:
  // Starts watching `settingsFolder` (UTF-8). A folder that cannot be opened is not watched;
  // WatchFailure says why, and RequestSettingsReload still reaches this instance.
  WindowsSettingsChanges(const std::string& settingsFolder, IEventWait& wake);
  ~WindowsSettingsChanges() override;
  WindowsSettingsChanges(const WindowsSettingsChanges&) = delete;
  WindowsSettingsChanges& operator=(const WindowsSettingsChanges&) = delete;

  bool TakeRequest() override;

  // Empty while the folder is watched; otherwise the folder and the system's reason, for the log.
  const std::string& WatchFailure() const { return watchFailure_; }

  // Sets the flag and wakes the wait. Safe from any thread.
  void Request();

 private:
  bool StartRead();
  void Watch();

  IEventWait& wake_;
  std::atomic<bool> requested_{false};
  std::string watchFailure_;
  win::Handle folder_;
  win::Handle stop_;
  // The read under way: its completion event, its OVERLAPPED and its DWORD-aligned records.
  win::Handle done_;
  OVERLAPPED overlapped_{};
  std::vector<DWORD> records_;
  std::thread watcher_;
};

// The service control handler's request (SERVICE_CONTROL_PARAMCHANGE): goes to the
// WindowsSettingsChanges of the process, when there is one; none is there before the program has
// loaded its settings, so nothing is lost. Safe from any thread.
void RequestSettingsReload();

}  // namespace tarnwick
