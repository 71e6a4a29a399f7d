#include "headless/headless_ui_services.h"

#include "common/text.h"

namespace tarnwick {

MessageAnswer DefaultAnswer(MessageButtons buttons) {
  return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::string TerminalLine(std::string_view line) {
  // A line's own end is not part of its text (the log's blank separator line is nothing else).
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return OneLineText(line) + "\n";
}

void HeadlessUiServices::PrintTitled(const std::string& title, const std::string& text) {
  const std::string line = OneLineText(text);
  print_(title.empty() ? line : OneLineText(title) + ": " + line);
}

MessageAnswer HeadlessUiServices::MessageBox(const std::string& text, MessageButtons buttons,
                                             const std::string& title) {
  PrintTitled(title, text);
  return DefaultAnswer(buttons);
}

void HeadlessUiServices::OpenWithViewer(const std::string& path) {
  print_(std::string(kNotOpenedHeadless) + OneLineText(path));
}

void HeadlessUiServices::OpenUrl(const std::string& url) {
  print_(std::string(kNotOpenedHeadless) + OneLineText(url));
}

std::optional<std::string> HeadlessUiServices::InputBox(const std::string& prompt,
                                                        const std::string& title,
                                                        const std::string& defaultText) {
  PrintTitled(title, prompt);
  return defaultText;
}

}  // namespace tarnwick
