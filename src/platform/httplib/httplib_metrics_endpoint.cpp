// cpp-httplib parses the requests and writes the answers. What it leaves open is bounded here: its
// own connection loop has no limit on a request's headers nor on the time a client may take to
// send them, and its thread pool queues connections without end. So each connection is served
// once (Connection: close), over a stream that cuts the request off at kMetricsRequestLimit bytes
// or kMetricsReadLimitSeconds, on the thread that accepts it: one at a time, the next ones waiting
// in the system's short queue of connections. A scrape then wakes one thread, not two.
#include "platform/httplib/httplib_metrics_endpoint.h"

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#ifndef _WIN32
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

static_assert(kMetricsWaitingConnections == CPPHTTPLIB_LISTEN_BACKLOG,
              "the queue of waiting connections is cpp-httplib's listen backlog");

constexpr const char* kMetricsPath = "/metrics";
constexpr size_t kReadBufferSize = 4096;

// The longest a wait on a client lasts before it looks whether the endpoint is stopping, so that
// the program ends at once even while a client holds a connection.
constexpr int kStopCheckMs = 100;

int PollOne(socket_t sock, short events, int timeoutMs) {
#ifdef _WIN32
  WSAPOLLFD fd{sock, events, 0};
  return WSAPoll(&fd, 1, timeoutMs);
#else
  pollfd fd{sock, events, 0};
  int result = 0;
  do {
    result = poll(&fd, 1, timeoutMs);
  } while (result < 0 && errno == EINTR);
  return result;
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

// One connection's socket as httplib reads and writes it, within a byte budget for the request and
// a deadline for its arrival.
class BoundedStream final : public httplib::Stream {
 public:
  BoundedStream(socket_t sock, const std::atomic<bool>& stopping)
      : sock_(sock),
        stopping_(stopping),
        deadline_(SteadyClock::now() + std::chrono::seconds(kMetricsReadLimitSeconds)) {}

  bool is_readable() const override { return start_ < end_ || WaitReadable(); }

  bool is_writable() const override {
    return Wait(POLLOUT, SteadyClock::now() + std::chrono::seconds(kMetricsWriteLimitSeconds));
  }

  ssize_t read(char* ptr, size_t size) override {
    if (start_ == end_) {
      if (received_ >= kMetricsRequestLimit) return -1;
      const size_t room = std::min(kReadBufferSize, kMetricsRequestLimit - received_);
      const ssize_t n = Transfer(POLLIN, deadline_, [&] {
#ifdef _WIN32
        return static_cast<ssize_t>(recv(sock_, buffer_, static_cast<int>(room), 0));
#else
        return recv(sock_, buffer_, room, MSG_DONTWAIT);
#endif
      });
      if (n <= 0) return n;
      received_ += static_cast<size_t>(n);
      start_ = 0;
      end_ = static_cast<size_t>(n);
    }
    const size_t count = std::min(size, end_ - start_);
    std::memcpy(ptr, buffer_ + start_, count);
    start_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    return Transfer(POLLOUT, SteadyClock::now() + std::chrono::seconds(kMetricsWriteLimitSeconds),
                    [&] {
#ifdef _WIN32
                      return static_cast<ssize_t>(send(sock_, ptr, static_cast<int>(size), 0));
#else
                      return send(sock_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
#endif
                    });
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
  socket_t socket() const override {
    return sock_;
  }

 private:
  bool WaitReadable() const {
    return Wait(POLLIN, deadline_);
  }

  // One recv or send. On POSIX it is tried at once without blocking, and waited for only when the
  // socket is not ready, which spares a poll for each part of a request and its answer; Winsock
  // has no such flag, so there the wait comes first.
  template <typename Io>
  ssize_t Transfer(short events, SteadyClock::time_point until, Io io) const {
#ifdef _WIN32
    if (!Wait(events, until)) return -1;
    return io();
#else
    for (;;) {
      const ssize_t n = io();
      if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return n;
      if (errno != EINTR && !Wait(events, until)) return -1;
    }
#endif
  }

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
  const std::atomic<bool>& stopping_;
  SteadyClock::time_point deadline_;
  size_t received_ = 0;
  char buffer_[kReadBufferSize];
  size_t start_ = 0;
  size_t end_ = 0;
};

// Runs each connection on the accepting thread, at once.
class InlineTaskQueue final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

class BoundedServer final : public httplib::Server {
 public:
  // Set when the endpoint stops: a wait on a client ends at once.
  std::atomic<bool> stopping{false};

 private:
  bool process_and_close_socket(socket_t sock) override {
    if (stopping) {
      CloseConnection(sock);
      return false;
    }
    BoundedStream stream(sock, stopping);
    bool closed = false;
    const bool served = process_request(stream, true, closed, nullptr);
    CloseConnection(sock);
    return served;
  }
};

}  // namespace

struct HttplibMetricsEndpoint::Impl {
  BoundedServer server;
  std::thread thread;
  std::atomic<bool> listenEnded{false};
};

HttplibMetricsEndpoint::HttplibMetricsEndpoint() : impl_(std::make_unique<Impl>()) {}

HttplibMetricsEndpoint::~HttplibMetricsEndpoint() {
  Stop();
}

MetricsEndpointStart HttplibMetricsEndpoint::Start(const ListenAddress& address,
                                                   std::function<std::string()> render) {
  httplib::Server& server = impl_->server;
  server.new_task_queue = [] { return new InlineTaskQueue(); };
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
    // limit): one wake-up of the endpoint's thread per scrape, not one for the connection and one
    // for its request.
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
  server.Get(kMetricsPath,
             [render = std::move(render)](const httplib::Request&, httplib::Response& response) {
               response.set_content(render(), std::string(kMetricsContentType));
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
  impl_->thread = std::thread([impl = impl_.get()] {
    impl->server.listen_after_bind();
    impl->listenEnded = true;
  });
  start.ok = true;
  start.port = port;
  return start;
}

void HttplibMetricsEndpoint::Stop() {
  if (!impl_->thread.joinable()) return;
  // The thread may not have begun to listen yet; stop() only ends a server that is listening.
  impl_->server.stopping = true;
  while (!impl_->listenEnded) {
    if (impl_->server.is_running()) {
      impl_->server.stop();
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  impl_->thread.join();
}

}  // namespace tarnwick
