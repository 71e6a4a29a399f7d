// UTF-8 <-> UTF-16 at the Win32 boundary: the system keeps text in UTF-8, the W functions take
// UTF-16. Never the ANSI code page, which cannot hold most names.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::win {

// Invalid UTF-8 becomes U+FFFD; empty in, empty out.
std::wstring Wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view wide);

}  // namespace tarnwick::win
