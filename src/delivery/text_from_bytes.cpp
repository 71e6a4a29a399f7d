#include "delivery/text_from_bytes.h"

#include <cstddef>

namespace tarnwick {
namespace {

// Length of the sequence a lead byte announces (0: the byte cannot start one) and the range the
// first continuation byte must fall in. The narrowed ranges after E0, ED, F0 and F4 are what
// rule out overlong forms, surrogates and code points above U+10FFFF.
struct LeadRule {
  size_t length;
  unsigned char secondLow;
  unsigned char secondHigh;
};

LeadRule RuleFor(unsigned char lead) {
  if (lead < 0x80) return {1, 0, 0};
  if (lead < 0xC2) return {0, 0, 0};  // continuation byte, or C0/C1 (always overlong)
  if (lead < 0xE0) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead < 0xF0) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead < 0xF4) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};  // F5..FF
}

bool IsContinuation(unsigned char byte) {
  return byte >= 0x80 && byte <= 0xBF;
}

}  // namespace

std::string TextFromBytes(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const LeadRule rule = RuleFor(lead);
    if (rule.length == 0) {
      ++i;
      continue;
    }
    // Count the bytes that still fit; a short count means the sequence is broken and those bytes
    // go with it, while the byte that did not fit is read again as a new start.
    size_t fitting = 1;
    while (fitting < rule.length && i + fitting < bytes.size()) {
      const auto next = static_cast<unsigned char>(bytes[i + fitting]);
      const bool fits =
          fitting == 1 ? next >= rule.secondLow && next <= rule.secondHigh : IsContinuation(next);
      if (!fits) break;
      ++fitting;
    }
    if (fitting == rule.length) text.append(bytes.substr(i, fitting));
    i += fitting;
  }
  return text;
}

}  // namespace tarnwick
