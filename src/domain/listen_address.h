// The address the metrics endpoint listens on, as the command line gives it: a port alone listens
// on the loopback only; every other address must be named (0.0.0.0:9101 for every interface).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kLoopbackHost = "127.0.0.1";

struct ListenAddress {
  std::string host;  // numeric: "127.0.0.1", "0.0.0.0", "::1" (IPv6 without its brackets)
  int port = 0;      // 0: any free port, chosen by the system
};

// "9101", "127.0.0.1:9101", "0.0.0.0:9101", "[::1]:9101", "[::]:9101"; nullopt for anything
// else, a host name or an empty host (":9101") included: which interfaces listen is never a
// guess.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

// "127.0.0.1:9101", "[::1]:9101".
std::string ListenAddressText(const ListenAddress& address);

// Only this machine can reach the address: 127.0.0.0/8 or ::1.
bool IsLoopback(const ListenAddress& address);

}  // namespace tarnwick
