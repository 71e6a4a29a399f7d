// The rules every URL transport keeps, whatever library it is built on: how long a read may
// take, how large a reply may be, which redirects it follows, and how the configured service
// host becomes the start of every request URL.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// A read that has not ended this long after it started fails, however many bytes still trickle
// in: a login switches monitoring off until its reply ends.
inline constexpr std::chrono::seconds kUrlReadDeadline{30};
// A read that receives no byte for this long fails, also before the deadline.
inline constexpr std::chrono::seconds kUrlSilenceLimit{30};
// A reply longer than this fails; the service's replies are a few dozen bytes.
inline constexpr size_t kUrlReplyLimit = 64 * 1024;
// Redirects followed in one read; the one after them fails the read.
inline constexpr int kUrlRedirectLimit = 5;

// The parts of an http:// or https:// URL that the rules look at.
struct UrlParts {
  std::string scheme;  // "http" or "https", lower case
  std::string host;    // lower case, brackets of an IPv6 address kept
  int port = 0;        // the default of the scheme when the URL names none
};

// nullopt for anything but an absolute http:// or https:// URL with a host, an optional port
// (1-65535) and no user name or password.
std::optional<UrlParts> ParseUrl(std::string_view url);

// A redirect from `from` to `to` is followed only when it stays on the same host: the same
// scheme and port, or an upgrade from http to https on any port. Never from https to http.
bool RedirectAllowed(std::string_view from, std::string_view to);

// The start of every request URL for a configured service host: "host", "host:port",
// "http://host[:port]" or "https://host[:port]" (a trailing "/" allowed) become
// "http://host[:port]" or "https://host[:port]"; nullopt for anything else (a path, a user name,
// blanks inside, another scheme).
std::optional<std::string> ServiceBaseUrl(std::string_view configured);

}  // namespace tarnwick
