// cpp-httplib parses the requests and writes the answers. What it leaves open is bounded here: its
// own connection loop has no limit on a request's headers nor on the time a client may take to
// send them, its thread pool queues connections without end, and it counts no client's
// connections. So this endpoint accepts the connections itself, on one thread that gathers every
// request without blocking: a client address that holds kMetricsConnectionsPerClient connections
// gets the next one closed at once, a request that is not whole within kMetricsRequestLimit bytes
// and kMetricsReadLimitSeconds of the connection's start is dropped, and only a whole request goes
// to the small fixed pool of threads that answers it (Connection: close). A client that trickles
// its request therefore holds no thread at all, only a place among the requests being gathered,
// and a scrape, whose request comes in one piece, is answered at once however many such clients
// there are.
#include "platform/httplib/httplib_metrics_endpoint.h"

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#else
#include <ws2tcpip.h>
#endif

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr const char* kMetricsPath = "/metrics";
constexpr size_t kReadBufferSize = 4096;

// Connections the system keeps ready for the accepting thread. cpp-httplib listens with a backlog
// of 5: a few slow clients reconnecting at once would fill it, and the system would then drop a
// scraper's connection request, which its TCP sends again only a second later.
constexpr int kListenBacklog = 128;
// Connections taken from the backlog at one go before the requests being gathered are read again.
constexpr int kAcceptsPerRound = 32;

// The longest a wait on a client lasts before it looks whether the endpoint is stopping, so that
// the program ends at once even while a client holds a connection.
constexpr int kStopCheckMs = 100;

#ifdef _WIN32
using PollEntry = WSAPOLLFD;
#else
using PollEntry = pollfd;
#endif

int PollMany(PollEntry* entries, size_t count, int timeoutMs) {
#ifdef _WIN32
  return WSAPoll(entries, static_cast<ULONG>(count), timeoutMs);
#else
  int result = 0;
  do {
    result = poll(entries, count, timeoutMs);
  } while (result < 0 && errno == EINTR);
  return result;
#endif
}

int PollOne(socket_t sock, short events, int timeoutMs) {
  PollEntry entry{sock, events, 0};
  return PollMany(&entry, 1, timeoutMs);
}

// Whether the last recv or send on a non-blocking socket only found it not ready.
bool WouldBlock() {
#ifdef _WIN32
  return WSAGetLastError() == WSAEWOULDBLOCK;
#else
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
#endif
}

ssize_t Receive(socket_t sock, char* buffer, size_t size) {
#ifdef _WIN32
  return static_cast<ssize_t>(recv(sock, buffer, static_cast<int>(size), 0));
#else
  return recv(sock, buffer, size, 0);
#endif
}

ssize_t SendSome(socket_t sock, const char* data, size_t size) {
#ifdef _WIN32
  return static_cast<ssize_t>(send(sock, data, static_cast<int>(size), 0));
#else
  return send(sock, data, size, MSG_NOSIGNAL);
#endif
}

// Accepts a connection as a non-blocking socket: nothing done on it ever waits but a poll.
socket_t AcceptNonBlocking(socket_t listening, sockaddr_storage& peer, socklen_t& length) {
#ifdef _WIN32
  const socket_t sock = accept(listening, reinterpret_cast<sockaddr*>(&peer), &length);
  if (sock != INVALID_SOCKET) {
    u_long on = 1;
    ioctlsocket(sock, FIONBIO, &on);
  }
  return sock;
#else
  return accept4(listening, reinterpret_cast<sockaddr*>(&peer), &length,
                 SOCK_NONBLOCK | SOCK_CLOEXEC);
#endif
}

void CloseConnection(socket_t sock) {
#ifdef _WIN32
  shutdown(sock, SD_BOTH);
  closesocket(sock);
#else
  shutdown(sock, SHUT_RDWR);
  close(sock);
#endif
}

// The system's words for the last socket error.
std::string LastSocketError() {
#ifdef _WIN32
  const int code = WSAGetLastError();
  return code == 0 ? std::string() : "socket error " + std::to_string(code);
#else
  return errno == 0 ? std::string() : std::string(std::strerror(errno));
#endif
}

// A whole request as it was gathered, and the socket for the answer, as httplib reads and writes
// them. Nothing is waited for to read: a request's body, which nothing here needs, counts only as
// far as it had arrived. Each part of the answer must be taken within the write limit.
class GatheredStream final : public httplib::Stream {
 public:
  GatheredStream(socket_t sock, std::string request, const std::atomic<bool>& stopping)
      : sock_(sock), request_(std::move(request)), stopping_(stopping) {}

  bool is_readable() const override { return taken_ < request_.size(); }

  bool is_writable() const override {
    return Wait(POLLOUT, SteadyClock::now() + std::chrono::seconds(kMetricsWriteLimitSeconds));
  }

  ssize_t read(char* ptr, size_t size) override {
    if (taken_ == request_.size()) return -1;
    const size_t count = std::min(size, request_.size() - taken_);
    std::memcpy(ptr, request_.data() + taken_, count);
    taken_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    const auto until = SteadyClock::now() + std::chrono::seconds(kMetricsWriteLimitSeconds);
    for (;;) {
      const ssize_t n = SendSome(sock_, ptr, size);
      if (n >= 0 || !WouldBlock()) return n;
      if (!Wait(POLLOUT, until)) return -1;
    }
  }

  // Nothing here reads the peer's address.
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip.clear();
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip.clear();
    port = 0;
  }
  socket_t socket() const override { return sock_; }

 private:
  // Waits until the socket is ready for `events`; false at `until` or once the endpoint stops.
  bool Wait(short events, SteadyClock::time_point until) const {
    while (!stopping_) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - SteadyClock::now());
      if (left.count() <= 0) return false;
      const int ready =
          PollOne(sock_, events, static_cast<int>(std::min<long long>(left.count(), kStopCheckMs)));
      if (ready != 0) return ready > 0;
    }
    return false;
  }

  socket_t sock_;
  std::string request_;
  size_t taken_ = 0;
  const std::atomic<bool>& stopping_;
};

// Whether a request's headers have ended: the blank line (CRLF CRLF, or LF LF from a lenient
// client). Only the part from `from` on is searched, so that a request that arrives a byte at a
// time is not searched whole at every byte.
bool HeadersEnded(const std::string& request, size_t from) {
  return request.find("\r\n\r\n", from) != std::string::npos ||
         request.find("\n\n", from) != std::string::npos;
}

// The client's address as text ("127.0.0.1", "::1"): the key its connections are counted by.
std::string PeerAddress(const sockaddr_storage& peer, socklen_t length) {
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), length, host, sizeof host, nullptr, 0,
                  NI_NUMERICHOST) != 0) {
    return "?";
  }
  return host;
}

class BoundedServer final : public httplib::Server {
 public:
  // Set when the endpoint stops: a wait on a client ends at once.
  std::atomic<bool> stopping{false};

  socket_t ListeningSocket() const { return svr_sock_; }
  void CloseListeningSocket() {
    const socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock != INVALID_SOCKET) CloseConnection(sock);
  }

  // Answers the whole `request` gathered from `sock`, and closes it.
  void Serve(socket_t sock, std::string request) {
    if (!stopping) {
      GatheredStream stream(sock, std::move(request), stopping);
      bool closed = false;
      process_request(stream, true, closed, nullptr);
    }
    CloseConnection(sock);
  }
};

}  // namespace

struct HttplibMetricsEndpoint::Impl {
  // A connection whose request is still arriving.
  struct Gathering {
    socket_t sock;
    std::string client;
    SteadyClock::time_point deadline;
    std::string request;
  };
  // A connection whose request is whole, waiting for a thread to answer it.
  struct Whole {
    socket_t sock;
    std::string client;
    std::string request;
  };

  BoundedServer server;
  std::function<std::string()> render;
  std::mutex renderMutex;  // one scrape's figures at a time
  std::thread acceptor;
  std::vector<std::thread> workers;
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Whole> waiting;
  // Connections of each client address, gathering, waiting or being answered.
  std::map<std::string, int> held;
  // Touched by the accepting thread only.
  std::list<Gathering> gathering;

  void Release(const std::string& client) {
    const std::lock_guard<std::mutex> lock(mutex);
    auto it = held.find(client);
    if (it != held.end() && --it->second <= 0) held.erase(it);
  }

  void Drop(std::list<Gathering>::iterator it) {
    CloseConnection(it->sock);
    Release(it->client);
    gathering.erase(it);
  }

  void AcceptOne(socket_t listening) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const socket_t sock = AcceptNonBlocking(listening, peer, length);
    if (sock == INVALID_SOCKET) return;
    std::string client = PeerAddress(peer, length);
    bool overLimit = false;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      int& count = held[client];
      overLimit = count >= kMetricsConnectionsPerClient;
      ++count;
    }
    // Past the bound on requests being gathered, the one gathered longest, whose time is nearly
    // up, makes room.
    if (gathering.size() >= static_cast<size_t>(kMetricsRequestsGathered)) {
      Drop(gathering.begin());
    }
    gathering.push_back({sock,
                         std::move(client),
                         SteadyClock::now() + std::chrono::seconds(kMetricsReadLimitSeconds),
                         {}});
    // A client over its limit gets no time: only a request that is already whole (a scrape's,
    // handed over once it arrived) is answered, so a local user trickling from 127.0.0.1 does not
    // lock out a Prometheus scraping from the same address.
    if (overLimit && ReadSome(std::prev(gathering.end()))) Drop(std::prev(gathering.end()));
  }

  // Reads what arrived on `it`; true while its request is still arriving. A whole request goes to
  // the answering threads, or is closed when their queue is full; an ended connection, a failed
  // read or a request at the size limit is dropped.
  bool ReadSome(std::list<Gathering>::iterator it) {
    char buffer[kReadBufferSize];
    const size_t room = std::min(kReadBufferSize, kMetricsRequestLimit - it->request.size());
    const ssize_t n = Receive(it->sock, buffer, room);
    if (n < 0 && WouldBlock()) return true;
    if (n <= 0) {
      Drop(it);
      return false;
    }
    // The blank line may have begun in what arrived before.
    const size_t from = it->request.size() - std::min<size_t>(it->request.size(), 3);
    it->request.append(buffer, static_cast<size_t>(n));
    if (HeadersEnded(it->request, from)) {
      std::unique_lock<std::mutex> lock(mutex);
      if (waiting.size() >= static_cast<size_t>(kMetricsWaitingConnections)) {
        lock.unlock();
        Drop(it);
        return false;
      }
      waiting.push_back({it->sock, std::move(it->client), std::move(it->request)});
      ready.notify_one();
      lock.unlock();
      gathering.erase(it);
      return false;
    }
    if (it->request.size() < kMetricsRequestLimit) return true;
    Drop(it);
    return false;
  }

  void Accept() {
    std::vector<PollEntry> entries;
    std::vector<std::list<Gathering>::iterator> order;
    while (!server.stopping) {
      const socket_t listening = server.ListeningSocket();
      if (listening == INVALID_SOCKET) break;
      const auto now = SteadyClock::now();
      int timeout = kStopCheckMs;
      for (auto it = gathering.begin(); it != gathering.end();) {
        const auto next = std::next(it);
        if (it->deadline <= now) {
          Drop(it);
        } else {
          const auto left =
              std::chrono::duration_cast<std::chrono::milliseconds>(it->deadline - now).count();
          timeout = static_cast<int>(std::min<long long>(timeout, left + 1));
        }
        it = next;
      }
      entries.assign(1, PollEntry{listening, POLLIN, 0});
      order.clear();
      for (auto it = gathering.begin(); it != gathering.end(); ++it) {
        entries.push_back(PollEntry{it->sock, POLLIN, 0});
        order.push_back(it);
      }
      if (PollMany(entries.data(), entries.size(), timeout) <= 0) continue;
      for (size_t i = 0; i < order.size(); ++i) {
        if (entries[i + 1].revents != 0) ReadSome(order[i]);
      }
      if ((entries[0].revents & POLLIN) == 0) continue;
      for (int i = 0; i < kAcceptsPerRound && (i == 0 || PollOne(listening, POLLIN, 0) > 0); ++i) {
        AcceptOne(listening);
      }
    }
    while (!gathering.empty()) Drop(gathering.begin());
  }

  void Work() {
    for (;;) {
      Whole next{};
      {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [this] { return server.stopping || !waiting.empty(); });
        if (server.stopping) return;
        next = std::move(waiting.front());
        waiting.pop_front();
      }
      server.Serve(next.sock, std::move(next.request));
      Release(next.client);
    }
  }
};

HttplibMetricsEndpoint::HttplibMetricsEndpoint() : impl_(std::make_unique<Impl>()) {}

HttplibMetricsEndpoint::~HttplibMetricsEndpoint() {
  Stop();
}

MetricsEndpointStart HttplibMetricsEndpoint::Start(const ListenAddress& address,
                                                   std::function<std::string()> render) {
  BoundedServer& server = impl_->server;
  // The port is this program's alone: no SO_REUSEPORT, where a second program could take half of
  // the connections unnoticed.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
#ifdef _WIN32
    setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
#else
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
#ifdef TCP_DEFER_ACCEPT
    // A connection is handed over only once its request has begun to arrive (or after the read
    // limit): a client that connects and sends nothing holds nothing of the endpoint's, and a
    // scrape wakes one thread, not one for the connection and one for its request.
    int wait = kMetricsReadLimitSeconds;
    setsockopt(sock, IPPROTO_TCP, TCP_DEFER_ACCEPT, &wait, sizeof wait);
#endif
  });
  server.set_payload_max_length(0);
  server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    if (request.path == kMetricsPath && request.method != "GET" && request.method != "HEAD") {
      response.status = 405;
      response.set_header("Allow", "GET, HEAD");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  impl_->render = std::move(render);
  server.Get(kMetricsPath, [&impl = *impl_](const httplib::Request&, httplib::Response& response) {
    std::string text;
    {
      const std::lock_guard<std::mutex> lock(impl.renderMutex);
      text = impl.render();
    }
    response.set_content(text, std::string(kMetricsContentType));
  });

  MetricsEndpointStart start;
  errno = 0;
  const int port = address.port == 0
                       ? server.bind_to_any_port(address.host)
                       : (server.bind_to_port(address.host, address.port) ? address.port : -1);
  if (port <= 0) {
    start.reason = LastSocketError();
    if (start.reason.empty()) start.reason = "the address cannot be used";
    return start;
  }
  // Listening again only sets the backlog (where the system allows it; Winsock keeps the first).
  ::listen(server.ListeningSocket(), kListenBacklog);
  Impl& impl = *impl_;
  impl.acceptor = std::thread([&impl] { impl.Accept(); });
  for (int i = 0; i < kMetricsWorkers; ++i) {
    impl.workers.emplace_back([&impl] { impl.Work(); });
  }
  start.ok = true;
  start.port = port;
  return start;
}

void HttplibMetricsEndpoint::Stop() {
  Impl& impl = *impl_;
  if (!impl.acceptor.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(impl.mutex);
    impl.server.stopping = true;
  }
  impl.ready.notify_all();
  impl.acceptor.join();
  for (std::thread& worker : impl.workers) worker.join();
  impl.workers.clear();
  // What still waited is closed unserved; then the port is free again.
  for (const Impl::Whole& left : impl.waiting) CloseConnection(left.sock);
  impl.waiting.clear();
  impl.server.CloseListeningSocket();
}

}  // namespace tarnwick
