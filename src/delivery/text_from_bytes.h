// How the URL reader turns the bytes of a reply into text.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The reply as text in the local code page, which on Linux is UTF-8. Well-formed UTF-8 passes
// through unchanged (NUL bytes too); every ill-formed part is dropped the way an unmappable code
// is: a stray continuation byte, a lead byte whose continuation bytes are wrong or missing (also
// at the very end), overlong forms, UTF-16 surrogates and code points above U+10FFFF. After a
// broken sequence the reading resumes at the first byte that did not fit it, so an ASCII byte
// right after a truncated sequence is kept. Any input is safe.
std::string TextFromBytes(std::string_view bytes);

}  // namespace tarnwick
