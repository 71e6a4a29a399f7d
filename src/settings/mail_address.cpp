#include "settings/mail_address.h"

#include "common/text.h"

namespace tarnwick {
namespace {

constexpr size_t kShortestMailAddress = 7;

}  // namespace

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
