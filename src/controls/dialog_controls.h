// Controls of the settings dialogs that the main window does not have.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A list to choose from. listIndex is -1 while nothing is chosen.
struct ComboBox {
  std::vector<std::string> items;
  int listIndex = -1;
  bool enabled = true;

  // The chosen item's text; empty while nothing is chosen.
  std::string Text() const;
  // Chooses the first item whose text equals `text` exactly; false (choice unchanged) when none.
  bool Select(std::string_view text);
};

// The mouse pointer a dialog shows over its background and labels.
enum class Pointer { Default, Hand };

// Every message box of the settings dialogs has this title.
inline constexpr std::string_view kDialogMessageTitle = "Tarnwick";

}  // namespace tarnwick
