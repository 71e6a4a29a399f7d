// The UI services on Qt: real message boxes and dialogs on a desktop, or, headless, answers
// without waiting so that a program started without a display never blocks on a dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/ui_services.h"

namespace tarnwick {

class QtUiServices final : public IUiServices {
 public:
  // `headless`: no dialog is ever shown; message texts go to standard output instead.
  explicit QtUiServices(bool headless) : headless_(headless) {}

  // Headless: prints the text as one line (line breaks become blanks) and returns the default
  // button, Ok for Ok and Ok/Cancel, No for Yes/No.
  MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                           const std::string& title) override;
  // Calls the hook set by SetBeforeEvents first, then runs the pending events once.
  void DoEvents() override;
  // Calls the hook set by SetBeforeEvents, then paints every shown window at once.
  void ShowNow() override;
  // Starts xdg-open on the path; a failure to start it is ignored, as the viewer would be.
  void OpenWithViewer(const std::string& path) override;
  // Headless: always nullopt.
  std::optional<std::string> PickFile(const FilePickRequest& request) override;
  // The primary screen's size in pixels; the defaults of ScreenSize when there is no screen.
  ScreenSize Screen() override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  void OpenUrl(const std::string& url) override;

  bool headless() const { return headless_; }
  // Runs before each DoEvents; the program renders its window there, so that what a handler
  // changed before letting events run is on the screen while they run.
  void SetBeforeEvents(std::function<void()> hook) { beforeEvents_ = std::move(hook); }

 private:
  bool headless_;
  std::function<void()> beforeEvents_;
};

// The answer of a message box that nobody can see: its default button.
MessageAnswer DefaultAnswer(MessageButtons buttons);

// The text as one line: CR LF, CR and LF each become one blank.
std::string OneLine(const std::string& text);

}  // namespace tarnwick
