// Slow clients for the metrics endpoint's tests: each connection sends a request's first line and
// then one header line every half second, never the blank line that would end it. A connection
// the endpoint closes is opened again at once, so the load stays on for the whole run.
//
//   slowloris PORT SECONDS SOURCE...
//
// One connection per SOURCE, a loopback address it connects from (an address may repeat). It
// prints "ready" once every connection has sent its first line, and "closed N" at the end: how
// many times the endpoint closed one of them. It ends after SECONDS, or at once when its parent
// does, so a failing test leaves nothing running.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kFirstLine[] = "GET /metrics HTTP/1.1\r\n";
constexpr char kHeaderLine[] = "X-Slow: a\r\n";
constexpr auto kTrickleInterval = std::chrono::milliseconds(500);

struct Client {
  std::string source;
  int fd = -1;
};

// A connection from `source` to the port, its first line sent; -1 when it could not be made.
int Open(const std::string& source, int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, source.c_str(), &from.sin_addr) != 1 ||
      inet_pton(AF_INET, "127.0.0.1", &to.sin_addr) != 1 ||
      bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
      send(fd, kFirstLine, sizeof kFirstLine - 1, MSG_NOSIGNAL) < 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Whether the endpoint closed the connection (or reset it).
bool Closed(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  char byte;
  return recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: slowloris PORT SECONDS SOURCE...\n");
    return 2;
  }
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) return 1;
  const int port = std::atoi(argv[1]);
  const auto end = Clock::now() + std::chrono::seconds(std::atoi(argv[2]));

  std::vector<Client> clients;
  for (int i = 3; i < argc; ++i) clients.push_back({argv[i], Open(argv[i], port)});
  std::printf("ready\n");
  std::fflush(stdout);

  long closed = 0;
  while (Clock::now() < end) {
    std::this_thread::sleep_for(kTrickleInterval);
    for (Client& client : clients) {
      if (client.fd >= 0 && !Closed(client.fd) &&
          send(client.fd, kHeaderLine, sizeof kHeaderLine - 1, MSG_NOSIGNAL) > 0) {
        continue;
      }
      if (client.fd >= 0) {
        close(client.fd);
        ++closed;
      }
      client.fd = Open(client.source, port);
    }
  }
  std::printf("closed %ld\n", closed);
  return 0;
}
