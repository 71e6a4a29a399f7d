#include "domain/url_rules.h"

#include "common/text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kSchemeSeparator = "://";
constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;
constexpr int kHighestPort = 65535;

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A host name or address: letters, digits, "-", "." and "_", or an IPv6 address in brackets.
bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.';
      if (!ok) return false;
    }
    return true;
  }
  for (char c : host) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
    if (!ok) return false;
  }
  return true;
}

// "host" or "host:port" (already lower case); fills `parts` and says whether it is valid.
bool ParseAuthority(std::string_view authority, UrlParts& parts) {
  std::string_view host = authority;
  std::string_view port;
  const size_t close = authority.rfind(']');
  const size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    if (!AllDigits(port) || port.size() > 5) return false;
  }
  if (!ValidHost(host)) return false;
  parts.host = std::string(host);
  parts.port = parts.scheme == "https" ? kHttpsPort : kHttpPort;
  if (!port.empty()) {
    const int number = std::stoi(std::string(port));
    if (number < 1 || number > kHighestPort) return false;
    parts.port = number;
  }
  return true;
}

}  // namespace

std::optional<UrlParts> ParseUrl(std::string_view url) {
  const size_t separator = url.find(kSchemeSeparator);
  if (separator == std::string_view::npos) return std::nullopt;
  UrlParts parts;
  parts.scheme = ToLower(url.substr(0, separator));
  if (parts.scheme != "http" && parts.scheme != "https") return std::nullopt;
  std::string_view rest = url.substr(separator + kSchemeSeparator.size());
  const size_t end = rest.find_first_of("/?#");
  const std::string authority = ToLower(rest.substr(0, end));
  if (!ParseAuthority(authority, parts)) return std::nullopt;
  return parts;
}

bool RedirectAllowed(std::string_view from, std::string_view to) {
  const std::optional<UrlParts> source = ParseUrl(from);
  const std::optional<UrlParts> target = ParseUrl(to);
  if (!source || !target || source->host != target->host) return false;
  if (source->scheme == target->scheme) return source->port == target->port;
  return source->scheme == "http" && target->scheme == "https";
}

std::optional<std::string> ServiceBaseUrl(std::string_view configured) {
  std::string text = TrimCopy(configured);
  while (!text.empty() && text.back() == '/') text.pop_back();
  const bool hasScheme = text.find(kSchemeSeparator) != std::string::npos;
  const std::string url = hasScheme ? text : "http://" + text;
  const std::optional<UrlParts> parts = ParseUrl(url);
  if (!parts) return std::nullopt;
  // Only the scheme and the authority: anything after it would be a path.
  const size_t authorityStart = url.find(kSchemeSeparator) + kSchemeSeparator.size();
  if (url.find_first_of("/?#", authorityStart) != std::string::npos) return std::nullopt;
  return parts->scheme + std::string(kSchemeSeparator) + ToLower(url.substr(authorityStart));
}

}  // namespace tarnwick
