// Desktop notifications: when an alert goes out or a process is terminated while the main window
// is hidden, the tray icon shows a short note of it; a click on the note opens the History window
// on that event. The File menu turns them off; the choice lives in a file of its own beside the
// settings files, so setting.ini keeps its lines.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "domain/history_types.h"
#include "engine/engine.h"
#include "results/engine_listener.h"

namespace tarnwick {

inline constexpr std::string_view kNotificationsFileName = "notifications.ini";
// The file's one line; anything else (or no file) leaves notifications on.
inline constexpr std::string_view kNotificationsOffLine = "Notifications=0";
inline constexpr std::string_view kNotificationsOnLine = "Notifications=1";
inline constexpr std::string_view kAlertNotificationTitle = "Tarnwick alert";
inline constexpr std::string_view kTerminationNotificationTitle = "Tarnwick terminated a process";
inline constexpr std::string_view kTerminationFailedTitle =
    "Tarnwick could not terminate a process";
inline constexpr std::string_view kTopProcessStart = "Top process: ";
inline constexpr std::string_view kTerminatedStart = "Terminated: ";
inline constexpr std::string_view kNotTerminatedStart = "Not terminated: ";
inline constexpr std::string_view kNotificationsNotStored =
    "The notifications choice could not be stored: ";

// One note for the tray icon, and the event of the usage history it stands for.
struct DesktopNotification {
  std::string title;
  std::string text;  // the alert's first line, then the top process
  int64_t t = 0;     // the event's time in history seconds
  HistoryEventKind kind = HistoryEventKind::AlertRaised;
};

class DesktopNotifications final : public IEngineListener {
 public:
  // `windowHidden` says whether the main window is out of sight (in the tray or minimised). The
  // engine outlives this; it listens from construction on.
  DesktopNotifications(Engine& engine, std::function<bool()> windowHidden);
  ~DesktopNotifications() override;
  DesktopNotifications(const DesktopNotifications&) = delete;
  DesktopNotifications& operator=(const DesktopNotifications&) = delete;

  // Reads the choice from its file. A file that cannot be read leaves them on, and the log says
  // why.
  void Load();
  bool On() const { return on_; }
  // The File menu's item: stores the choice, then puts it in force. When the file cannot be
  // written nothing changes and the reason is returned.
  std::optional<std::string> SetOn(bool on);
  std::string FilePath() const;

  // The view shows `pending` (the latest replaces one not yet shown) and calls this.
  void OnShown();
  // The user clicked the note last shown: the event for the History window to open on.
  std::optional<DesktopNotification> OnClick() const { return shown_; }

  // A request to the view, cleared by OnShown.
  std::optional<DesktopNotification> pending;

  void OnAlert(const AlertResult& alert) override;
  void OnTermination(const TerminationResult& termination) override;

 private:
  bool Due() const { return on_ && windowHidden_(); }
  int64_t Now() const;

  Engine& engine_;
  std::function<bool()> windowHidden_;
  bool on_ = true;
  std::optional<DesktopNotification> shown_;
};

}  // namespace tarnwick
