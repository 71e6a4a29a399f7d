#include <windows.h>

#include <climits>

#include "platform/settings_text.h"

namespace tarnwick {

namespace {

// Empty for empty input and for any conversion the system refuses.
std::wstring WideFrom(UINT codePage, DWORD flags, std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<size_t>(needed), L'\0');
  if (MultiByteToWideChar(codePage, flags, bytes.data(), length, out.data(), needed) != needed) {
    return {};
  }
  return out;
}

}  // namespace

std::string SettingsTextFromAnsi(std::string_view bytes) {
  const std::wstring wide = WideFrom(CP_ACP, 0, bytes);
  if (wide.empty()) return std::string(bytes);
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string(bytes);
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

std::optional<std::string> SettingsTextToAnsi(std::string_view utf8) {
  // With code page 65001 the flags below are refused, and UTF-8 is what stays anyway.
  if (GetACP() == CP_UTF8) return std::nullopt;
  if (utf8.empty()) return std::string();
  const std::wstring wide = WideFrom(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
  if (wide.empty()) return std::nullopt;
  const int length = static_cast<int>(wide.size());
  // Without WC_NO_BEST_FIT_CHARS "ā" would be stored as "a" and not count as a loss.
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                         0, nullptr, &usedDefault);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(), needed,
                          nullptr, &usedDefault) != needed ||
      usedDefault) {
    return std::nullopt;
  }
  return out;
}

}  // namespace tarnwick
