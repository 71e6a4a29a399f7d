#include "controls/dialog_controls.h"

namespace tarnwick {

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

}  // namespace tarnwick
