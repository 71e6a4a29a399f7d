// cpp-httplib parses the requests and writes the answers. What it leaves open is bounded here: its
// own connection loop has no limit on a request's headers nor on the time a client may take to
// send them, and its thread pool queues connections without end. So each connection is served
// once (Connection: close) over a stream that cuts the request off at kMetricsRequestLimit bytes
// or kMetricsReadLimitSeconds, by kMetricsWorkers threads with a short queue.
#include "platform/httplib/httplib_metrics_endpoint.h"

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "metrics/metrics_text.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr const char* kMetricsPath = "/metrics";
constexpr size_t kReadBufferSize = 4096;

// Set on the accepting thread while it closes a connection the queue has no room for.
thread_local bool refuseConnection = false;

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
      if (received_ >= kMetricsRequestLimit || !WaitReadable()) return -1;
      const size_t room = std::min(kReadBufferSize, kMetricsRequestLimit - received_);
#ifdef _WIN32
      const int n = recv(sock_, buffer_, static_cast<int>(room), 0);
#else
      const ssize_t n = recv(sock_, buffer_, room, 0);
#endif
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
    if (!is_writable()) return -1;
#ifdef _WIN32
    return send(sock_, ptr, static_cast<int>(size), 0);
#else
    return send(sock_, ptr, size, MSG_NOSIGNAL);
#endif
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

// kMetricsWorkers threads and a queue of kMetricsQueueLength connections; a connection that
// finds them all taken is closed at once.
class BoundedTaskQueue final : public httplib::TaskQueue {
 public:
  BoundedTaskQueue() {
    for (int i = 0; i < kMetricsWorkers; ++i) workers_.emplace_back([this] { Work(); });
  }

  void enqueue(std::function<void()> fn) override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!closing_ &&
          busy_ + jobs_.size() < static_cast<size_t>(kMetricsWorkers + kMetricsQueueLength)) {
        jobs_.push_back(std::move(fn));
        ready_.notify_one();
        return;
      }
    }
    refuseConnection = true;
    fn();
    refuseConnection = false;
  }

  void shutdown() override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    ready_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

 private:
  // Runs the queued connections; once the endpoint stops, those still queued are closed at once.
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
        ++busy_;
      }
      job();
      const std::lock_guard<std::mutex> lock(mutex_);
      --busy_;
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  size_t busy_ = 0;  // connections the workers are serving
  bool closing_ = false;
  std::vector<std::thread> workers_;
};

class BoundedServer final : public httplib::Server {
 public:
  // Set when the endpoint stops: waits on clients end, queued connections are closed unanswered.
  std::atomic<bool> stopping{false};

 private:
  bool process_and_close_socket(socket_t sock) override {
    if (refuseConnection || stopping) {
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
  server.new_task_queue = [] { return new BoundedTaskQueue(); };
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
