#include "platform/settings_text.h"

namespace tarnwick {

std::string SettingsTextFromAnsi(std::string_view bytes) {
  return std::string(bytes);
}

std::optional<std::string> SettingsTextToAnsi(std::string_view) {
  return std::nullopt;
}

}  // namespace tarnwick
