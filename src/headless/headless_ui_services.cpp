#include "headless/headless_ui_services.h"

namespace tarnwick {

MessageAnswer DefaultAnswer(MessageButtons buttons) {
  return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return line;
}

void HeadlessUiServices::PrintTitled(const std::string& title, const std::string& text) {
  const std::string line = OneLine(text);
  print_(title.empty() ? line : OneLine(title) + ": " + line);
}

MessageAnswer HeadlessUiServices::MessageBox(const std::string& text, MessageButtons buttons,
                                             const std::string& title) {
  PrintTitled(title, text);
  return DefaultAnswer(buttons);
}

void HeadlessUiServices::OpenWithViewer(const std::string& path) {
  print_(std::string(kNotOpenedHeadless) + OneLine(path));
}

void HeadlessUiServices::OpenUrl(const std::string& url) {
  print_(std::string(kNotOpenedHeadless) + OneLine(url));
}

std::optional<std::string> HeadlessUiServices::InputBox(const std::string& prompt,
                                                        const std::string& title,
                                                        const std::string& defaultText) {
  PrintTitled(title, prompt);
  return defaultText;
}

}  // namespace tarnwick
