// Changes of the settings files, seen by inotify on their folder: a file written in place and
// closed, or put in place by a rename (as every save does), or removed. A thread waits for the
// events; a burst of them (one save writes up to three files) settles for a moment and then
// counts as one request.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "platform/event_wait.h"
#include "platform/settings_changes.h"

namespace tarnwick {

class InotifySettingsChanges final : public ISettingsChanges {
 public:
  // `wake` must outlive this object. When the folder cannot be watched (no inotify, the folder is
  // missing), `watching()` is false and no request ever comes from files.
  InotifySettingsChanges(const std::string& folder, IEventWait& wake);
  ~InotifySettingsChanges() override;
  InotifySettingsChanges(const InotifySettingsChanges&) = delete;
  InotifySettingsChanges& operator=(const InotifySettingsChanges&) = delete;

  bool TakeRequest() override;
  bool watching() const { return inotify_ >= 0; }
  // The system's reason when the folder is not watched.
  const std::string& reason() const { return reason_; }

 private:
  void Run();

  IEventWait& wake_;
  int inotify_ = -1;
  int stop_ = -1;  // an eventfd that ends the thread
  std::string reason_;
  std::atomic<bool> requested_{false};
  std::thread thread_;
};

}  // namespace tarnwick
