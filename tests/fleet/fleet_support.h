// What the fleet's end-to-end tests share: a program run to its end with a standard input, HTTP
// GETs with cpp-httplib's client, and a webhook receiver standing in for an Alertmanager receiver.
#pragma once

#include <httplib.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/program_runner.h"
#include "support/loopback_port.h"

namespace tarnwick::testing {

// Runs a program from an argument list with `input` as its whole standard input; its exit code
// (-1 when it did not end within `limit`) and both outputs.
inline FinishedProgram RunWithInput(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& environment,
                                    const std::string& input,
                                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  return RunToEnd(argv, environment, limit, &input);
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
