#include "settings/dialog_controls.h"

#include "common/text.h"

namespace tarnwick {

namespace {

constexpr size_t kShortestMailAddress = 7;

}  // namespace

std::string ComboBox::Text() const {
  if (listIndex < 0 || static_cast<size_t>(listIndex) >= items.size()) return {};
  return items[static_cast<size_t>(listIndex)];
}

bool ComboBox::Select(std::string_view text) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) {
      listIndex = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (char c : text) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

bool LooksLikeMailAddress(std::string_view text) {
  return Contains(text, "@") && CharCount(text) >= kShortestMailAddress;
}

}  // namespace tarnwick
