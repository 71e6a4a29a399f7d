// What the fleet's end-to-end tests share: a free loopback port, a program run to its end with a
// standard input, HTTP GETs with cpp-httplib's client, and a webhook receiver standing in for an
// Alertmanager receiver.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/program_runner.h"

namespace tarnwick::testing {

// A port nothing listens on right now: the system picks one for a socket that is closed again.
inline int FreePort() {
  const int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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

// Runs a program from an argument list with `input` as its whole standard input; its exit code
// (-1 when it did not end within `limit`) and both outputs.
inline FinishedProgram RunWithInput(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& environment,
                                    const std::string& input,
                                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  FinishedProgram result;
  int in[2];
  int out[2];
  int err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // The input is small; a reader that stops early must not stop the test.
  std::thread writer([fd = in[1], input] {
    signal(SIGPIPE, SIG_IGN);
    size_t done = 0;
    while (done < input.size()) {
      const ssize_t n = write(fd, input.data() + done, input.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(fd);
  });
  const auto deadline = SteadyClock::now() + limit;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = spawned == 0 ? 2 : 0;
  while (open > 0 && SteadyClock::now() < deadline) {
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  if (spawned == 0) {
    if (open > 0) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (open == 0 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  }
  writer.join();
  return result;
}

struct HttpReply {
  int status = 0;  // 0 when nothing answered
  std::string body;
  std::string contentType;
};

inline HttpReply HttpGet(int port, const std::string& path, const httplib::Params& params = {}) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(5);
  client.set_read_timeout(10);
  HttpReply reply;
  const auto result = params.empty() ? client.Get(path) : client.Get(path, params, {});
  if (!result) return reply;
  reply.status = result->status;
  reply.body = result->body;
  reply.contentType = result->get_header_value("Content-Type");
  return reply;
}

// Polls until `done` holds for a reply of the URL, or `limit` passes; the last reply.
inline HttpReply PollGet(int port, const std::string& path, const httplib::Params& params,
                         const std::function<bool(const HttpReply&)>& done,
                         std::chrono::milliseconds limit) {
  const auto deadline = SteadyClock::now() + limit;
  HttpReply reply = HttpGet(port, path, params);
  while (!done(reply) && SteadyClock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    reply = HttpGet(port, path, params);
  }
  return reply;
}

// The receiving end of Alertmanager's webhook: every POSTed body, on a loopback port of its own.
class WebhookReceiver {
 public:
  WebhookReceiver() {
    server_.Post("/hook", [this](const httplib::Request& request, httplib::Response& response) {
      const std::lock_guard<std::mutex> lock(mutex_);
      bodies_.push_back(request.body);
      response.status = 200;
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (port_ > 0 && !server_.is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~WebhookReceiver() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  WebhookReceiver(const WebhookReceiver&) = delete;
  WebhookReceiver& operator=(const WebhookReceiver&) = delete;

  int port() const { return port_; }

  // Waits until a body holds every one of `parts`; that body, or nullopt after `limit`.
  std::optional<std::string> WaitFor(const std::vector<std::string>& parts,
                                     std::chrono::milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    do {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& body : bodies_) {
          bool all = true;
          for (const std::string& part : parts) all = all && body.find(part) != std::string::npos;
          if (all) return body;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (SteadyClock::now() < deadline);
    return std::nullopt;
  }

  std::string All() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const std::string& body : bodies_) all += body + "\n";
    return all;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> bodies_;
};

}  // namespace tarnwick::testing
