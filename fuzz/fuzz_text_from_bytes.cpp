// Feeds arbitrary bytes to the decoder of replies. Its text is well-formed UTF-8, decodes to
// itself, and keeps every byte of input that already was well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "delivery/text_from_bytes.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool WellFormed(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t length = 0;
    unsigned lowest = 0x80;
    unsigned highest = 0xBF;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 2;
      if (c == 0xE0) lowest = 0xA0;
      if (c == 0xED) highest = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 3;
      if (c == 0xF0) lowest = 0x90;
      if (c == 0xF4) highest = 0x8F;
    } else {
      return false;
    }
    for (size_t k = 1; k <= length; ++k) {
      if (i + k >= s.size()) return false;
      const auto next = static_cast<unsigned char>(s[i + k]);
      const unsigned low = k == 1 ? lowest : 0x80;
      const unsigned high = k == 1 ? highest : 0xBF;
      if (next < low || next > high) return false;
    }
    i += length + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = tarnwick::TextFromBytes(bytes);
  Check(text.size() <= bytes.size());
  Check(WellFormed(text));
  Check(tarnwick::TextFromBytes(text) == text);
  if (WellFormed(bytes)) Check(text == bytes);
  return 0;
}
