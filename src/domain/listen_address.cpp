#include "domain/listen_address.h"

#include <charconv>

namespace tarnwick {
namespace {

std::optional<int> Port(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

bool IsIpv4(std::string_view text) {
  int parts = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string_view part =
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    int value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || error != std::errc() ||
        end != part.data() + part.size() || value > 255) {
      return false;
    }
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

// The socket layer has the last word on an IPv6 address; this only keeps out what cannot be one.
bool MayBeIpv6(std::string_view text) {
  if (text.find(':') == std::string_view::npos) return false;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != ':' && c != '.') return false;
  }
  return true;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  if (const auto port = Port(text)) return ListenAddress{std::string(kLoopbackHost), *port};
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view host = text.substr(1, close - 1);
    const auto port = Port(text.substr(close + 2));
    if (!port || !MayBeIpv6(host)) return std::nullopt;
    return ListenAddress{std::string(host), *port};
  }
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view host = text.substr(0, colon);
  const auto port = Port(text.substr(colon + 1));
  if (!port || !IsIpv4(host)) return std::nullopt;
  return ListenAddress{std::string(host), *port};
}

std::string ListenAddressText(const ListenAddress& address) {
  const bool ipv6 = address.host.find(':') != std::string::npos;
  return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

bool IsLoopback(const ListenAddress& address) {
  return address.host == "::1" || address.host.rfind("127.", 0) == 0;
}

}  // namespace tarnwick
