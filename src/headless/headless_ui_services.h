// The UI services of the program without a window: nothing waits for a person. Message boxes and
// input boxes print their text and take their default answer; there is no file picker, viewer or
// browser.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui_services.h"

namespace tarnwick {

// Printed in place of a viewer or browser window, before the path or URL.
inline constexpr std::string_view kNotOpenedHeadless = "Not opened without a desktop: ";

class HeadlessUiServices final : public IUiServices {
 public:
  // `print` writes one line (without its line end) where the user reads the program's output.
  explicit HeadlessUiServices(std::function<void(const std::string&)> print)
      : print_(std::move(print)) {}

  // Prints "title: text" as one line (cleaned by OneLineText) and answers with the default
  // button: Ok for Ok and Ok/Cancel, No for Yes/No.
  MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                           const std::string& title) override;
  // Nothing to draw; pending URL completions wait for the loop.
  void DoEvents() override {}
  // Nobody could see a viewer or a browser: prints what would have been opened.
  void OpenWithViewer(const std::string& path) override;
  void OpenUrl(const std::string& url) override;
  std::optional<std::string> PickFile(const FilePickRequest&) override { return std::nullopt; }
  ScreenSize Screen() override { return {}; }
  // Prints "title: prompt" and answers with the default text.
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;

 private:
  void PrintTitled(const std::string& title, const std::string& text);
  std::function<void(const std::string&)> print_;
};

// The answer of a message box that nobody can see: its default button.
MessageAnswer DefaultAnswer(MessageButtons buttons);

// What the program writes for one line of its output (a log line, a status line, a message box):
// the line cleaned as a log line is (OneLineText), then LF. Nothing that reaches the terminal
// or the journal can forge a line, move the cursor, retitle the window or reorder what is shown.
// Line ends at the end of the line are dropped first, so the log's blank separator line (CR LF)
// becomes an empty line.
std::string TerminalLine(std::string_view line);

}  // namespace tarnwick
