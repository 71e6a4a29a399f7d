// Which redirects of the web service a read follows. The requests carry the account's password,
// so a reply may move a path or upgrade the connection to https, but never send them elsewhere.
#pragma once

#include <string_view>

namespace tarnwick {

// Redirects one read follows at most; the next one fails the read.
inline constexpr int kMaxRedirects = 5;

// True when the absolute URL `to` stays on the host of `from`: both http or https, the same host
// name (case aside; the port may change), no user name in `to`, and no step down from https to
// http.
bool RedirectAllowed(std::string_view from, std::string_view to);

}  // namespace tarnwick
