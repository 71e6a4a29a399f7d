// The UI services on Win32: message boxes, the common file dialog, an input box, the shell for
// files and web pages, and the message loop for "let events run".
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/ui_services.h"

namespace tarnwick::win32 {

// Runs the messages waiting in the UI thread's queue, through the open dialogs' keyboard
// handling; returns once the queue is empty.
using PumpMessages = std::function<void()>;

class Win32UiServices final : public IUiServices {
 public:
  // A message box with an OK button (or OK and Cancel, Yes and No) over the active window of
  // the program.
  MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                           const std::string& title) override;
  // Calls the hook set by SetBeforeEvents, then runs the pending messages once.
  void DoEvents() override;
  // Calls the hook set by SetBeforeEvents, then paints every window of the thread at once.
  void ShowNow() override;
  // The file with the program the shell opens it with (Notepad for a text file).
  void OpenWithViewer(const std::string& path) override;
  // GetOpenFileNameW: one existing file under the request's filter, starting in its folder.
  std::optional<std::string> PickFile(const FilePickRequest& request) override;
  // GetSaveFileNameW: a file name under the request's filter, proposed with its initial name in
  // its folder; the dialog asks before an existing file is replaced, and adds the filter's
  // extension to a name typed without one.
  std::optional<std::string> PickSaveFile(const FilePickRequest& request) override;
  // The primary screen in pixels.
  ScreenSize Screen() override;
  // A small modal window: the prompt, a box with the default text, OK and Cancel.
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  // The page in the default web browser.
  void OpenUrl(const std::string& url) override;

  void SetBeforeEvents(std::function<void()> hook) { beforeEvents_ = std::move(hook); }
  void SetPump(PumpMessages pump) { pump_ = std::move(pump); }

 private:
  std::function<void()> beforeEvents_;
  PumpMessages pump_;
};

}  // namespace tarnwick::win32
