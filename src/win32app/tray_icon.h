// The program's entry in the notification area (Shell_NotifyIconW, Unicode): the icon, the
// tooltip and the mouse messages sent to the owner window. When Explorer starts again (its
// TaskbarCreated message) the entry is added anew.
#pragma once

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>

namespace tarnwick::win32 {

class TrayIcon {
 public:
  // The owner receives `callbackMessage` with the mouse message in lParam.
  TrayIcon(HWND owner, UINT callbackMessage);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Shows the entry with this icon and tooltip (UTF-8); changes only what differs.
  void Show(HICON icon, const std::string& tip);
  void Remove();
  // The shell shows the entry now.
  bool Shown() const { return shown_; }
  // The message Explorer broadcasts when it has started (again).
  UINT TaskbarCreatedMessage() const { return taskbarCreated_; }
  // Explorer restarted: the entry it had is gone; adds it again when it was wanted.
  void OnTaskbarCreated();

 private:
  bool Add();

  NOTIFYICONDATAW data_{};
  UINT taskbarCreated_;
  bool wanted_ = false;
  bool shown_ = false;
};

}  // namespace tarnwick::win32
