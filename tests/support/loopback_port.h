// A loopback port for tests on POSIX: one that a server of the test may take, or that stands for
// a server that is not there.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::testing {

// A TCP port on 127.0.0.1 that nothing listens on right now: the kernel picks one for a socket
// that is closed again. 0 when no socket could be bound.
inline int FreeLoopbackPort() {
  const int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(sock);
  return port;
}

}  // namespace tarnwick::testing
