// A loopback HTTP server whose replies a test writes byte by byte: status lines, floods, trickles,
// redirects and dropped connections, as a careless or hostile service would send them.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick::testing {

class ScriptedHttpServer {
 public:
  // `reply` gets the request's target ("/path?query") and writes to the connection with Send;
  // the connection closes when it returns.
  using Reply = std::function<void(ScriptedHttpServer& server, const std::string& target, int fd)>;

  explicit ScriptedHttpServer(Reply reply) : reply_(std::move(reply)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedHttpServer() {
    stop_ = true;
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (thread_.joinable()) thread_.join();
  }
  ScriptedHttpServer(const ScriptedHttpServer&) = delete;
  ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
  }
  // Every request's target and head, in order.
  std::vector<std::string> Targets() {
    std::lock_guard lock(mutex_);
    return targets_;
  }
  std::vector<std::string> Heads() {
    std::lock_guard lock(mutex_);
    return heads_;
  }
  // False once the client has gone or the server stops.
  bool Send(int fd, const std::string& bytes) {
    if (stop_) return false;
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }

 private:
  void Serve() {
    while (!stop_) {
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      std::string head;
      char c;
      while (head.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1) head += c;
      const size_t start = head.find(' ') + 1;
      const std::string target = head.substr(start, head.find(' ', start) - start);
      {
        std::lock_guard lock(mutex_);
        targets_.push_back(target);
        heads_.push_back(head);
      }
      reply_(*this, target, fd);
      close(fd);
    }
  }

  Reply reply_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> targets_;
  std::vector<std::string> heads_;
};

}  // namespace tarnwick::testing
