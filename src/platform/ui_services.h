// What the program's forms ask of the desktop: message boxes, file pickers, the event loop.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct FilePickRequest {
  std::string title;
  std::string initialFolder;
  std::string filterDescription;  // "LOG Files(log*.txt)"
  std::string filterPattern;      // "Tarnwick_log*.txt"
  std::string initialName;        // a save dialog's proposed file name
};

struct ScreenSize {
  int width = 1024;
  int height = 768;
};

// Lets the pending window events run once, where there are windows.
class IEventPump {
 public:
  virtual ~IEventPump() = default;
  virtual void DoEvents() = 0;
};

class IUiServices : public IEventPump {
 public:
  // Shows a modal message box. Headless, it prints the text and answers with the default button
  // (OK; No for a question).
  virtual MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                                   const std::string& title) = 0;
  // Puts the forms' current state on the screen at once, without running any event: a handler
  // about to be busy for a while shows its busy look first. Where nothing is drawn, nothing to do.
  virtual void ShowNow() {}
  // Opens the file with the desktop's viewer, without waiting for it.
  virtual void OpenWithViewer(const std::string& path) = 0;
  // An open-file dialog for one existing file; nullopt when cancelled.
  virtual std::optional<std::string> PickFile(const FilePickRequest& request) = 0;
  // A save-file dialog (it asks before an existing file is replaced); nullopt when cancelled,
  // and always where there is no desktop to ask on.
  virtual std::optional<std::string> PickSaveFile(const FilePickRequest&) { return std::nullopt; }
  // Size of the screen in pixels.
  virtual ScreenSize Screen() = 0;
  // Asks for one line of text; nullopt when cancelled (headless: the default text, printed).
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& defaultText) = 0;
  // Opens the web page in the desktop's browser, without waiting for it.
  virtual void OpenUrl(const std::string& url) = 0;
};

}  // namespace tarnwick
