// The system keeps paths as UTF-8 text. A std::string reaching std::filesystem::path, an fstream
// or fopen is read in the ANSI code page on Windows, where a folder named "Tarnwück" is lost;
// these conversions go through char8_t, which means UTF-8 on every platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick {

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace tarnwick
