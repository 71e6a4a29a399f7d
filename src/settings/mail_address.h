// The rule by which the settings' checks take a text for a mail address.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarnwick {

// Characters of a UTF-8 text as the user sees them typed (not bytes).
size_t CharCount(std::string_view text);

// What the dialogs take for a mail address: it holds "@" and is at least 7 characters long.
bool LooksLikeMailAddress(std::string_view text);

}  // namespace tarnwick
