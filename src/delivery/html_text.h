// Text that goes into the HTML body of a mail.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// `<`, `>` and `&` as character references, so a value (a process name, a server reply, a log
// line) shows as the text it is and never becomes markup. Everything else stays as it is.
std::string HtmlEscape(std::string_view text);

}  // namespace tarnwick
