// UI services for work without anybody to ask: what a message box would show is kept as a line,
// and every question gets its default answer (No, nothing picked, nothing typed).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui_services.h"

namespace tarnwick {

class CollectingUi final : public IUiServices {
 public:
  // The texts of the message boxes, oldest first.
  std::vector<std::string> messages;

  MessageAnswer MessageBox(const std::string& text, MessageButtons buttons,
                           const std::string&) override {
    messages.push_back(text);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
  }
  void DoEvents() override {}
  void OpenWithViewer(const std::string&) override {}
  std::optional<std::string> PickFile(const FilePickRequest&) override { return std::nullopt; }
  ScreenSize Screen() override { return {}; }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void OpenUrl(const std::string&) override {}
};

}  // namespace tarnwick
