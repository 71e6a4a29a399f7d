#include "alerts/redirect_rule.h"

#include <optional>
#include <string>

namespace tarnwick {
namespace {

struct UrlHost {
  bool https = false;
  bool hasUser = false;
  std::string host;  // lower case; an IPv6 literal keeps its brackets
};

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

std::optional<UrlHost> ParseHost(std::string_view url) {
  UrlHost parsed;
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos) return std::nullopt;
  const std::string scheme = LowerCopy(url.substr(0, schemeEnd));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  parsed.https = scheme == "https";
  std::string_view authority = url.substr(schemeEnd + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    parsed.hasUser = true;
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  if (!host.empty() && host.front() == '[') {
    const size_t close = host.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = host.substr(0, close + 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  if (host.empty()) return std::nullopt;
  parsed.host = LowerCopy(host);
  return parsed;
}

}  // namespace

bool RedirectAllowed(std::string_view from, std::string_view to) {
  const std::optional<UrlHost> origin = ParseHost(from);
  const std::optional<UrlHost> target = ParseHost(to);
  if (!origin || !target || target->hasUser) return false;
  if (origin->https && !target->https) return false;
  return origin->host == target->host;
}

}  // namespace tarnwick
