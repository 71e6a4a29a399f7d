// The program's entry in the notification area (Shell_NotifyIconW, Unicode): the icon, the
// tooltip, balloon notes and the mouse messages sent to the owner window. When Explorer starts
// again (its TaskbarCreated message) the entry is added anew.
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
  // A balloon note from the entry (NIF_INFO): the title and the text (UTF-8, lines split by
  // '\n'), cut to the shell's 63 and 255 characters. False when the entry is not shown or the
  // shell refused it. A click on it reaches the owner as NIN_BALLOONUSERCLICK.
  bool Notify(const std::string& title, const std::string& text);
  // The title and text of the last note the shell took, as it took them.
  const std::wstring& LastNoteTitle() const { return noteTitle_; }
  const std::wstring& LastNoteText() const { return noteText_; }
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
  std::wstring noteTitle_;
  std::wstring noteText_;
};

}  // namespace tarnwick::win32
