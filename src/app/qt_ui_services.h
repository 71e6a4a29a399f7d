// The UI services on Qt: real message boxes and dialogs on a desktop. (Without a display the
// program hands over to tarnwickd, which has UI services of its own.)
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/ui_services.h"

namespace tarnwick {

class QtUiServices final : public IUiServices {
 public:
  // Calls the hook set by SetBeforeEvents first: the box lets events run until it is answered.
  MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                           const std::string& title) override;
  // Calls the hook set by SetBeforeEvents first, then runs the pending events once.
  void DoEvents() override;
  // Calls the hook set by SetBeforeEvents, then paints every shown window at once.
  void ShowNow() override;
  // Starts xdg-open on the path; a failure to start it is ignored, as the viewer would be.
  void OpenWithViewer(const std::string& path) override;
  std::optional<std::string> PickFile(const FilePickRequest& request) override;
  std::optional<std::string> PickSaveFile(const FilePickRequest& request) override;
  // The primary screen's size in pixels; the defaults of ScreenSize when there is no screen.
  ScreenSize Screen() override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  void OpenUrl(const std::string& url) override;

  // Runs before each DoEvents and message box; the program renders its window there, so that what
  // a handler changed before letting events run is on the screen (and in the timers) while they
  // run.
  void SetBeforeEvents(std::function<void()> hook) { beforeEvents_ = std::move(hook); }

 private:
  std::function<void()> beforeEvents_;
};

}  // namespace tarnwick
