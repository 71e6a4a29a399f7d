// The metrics endpoint: GET /metrics over HTTP on one address, served from a thread of its own
// with bounded requests, so a scrape never waits for the monitor cycle and a client can hold
// neither memory nor more than a few connections.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "domain/listen_address.h"

namespace tarnwick {

// Connections are served one at a time, on the endpoint's own thread; the next ones wait in the
// system's queue of this many connections (the listen backlog), and any beyond it are not taken.
inline constexpr int kMetricsWaitingConnections = 5;
// A request (line, headers and any body) longer than this is cut off and the connection closed.
inline constexpr size_t kMetricsRequestLimit = 16 * 1024;
// The whole request must arrive within this time from the connection's start, and each part of
// the answer must be taken by the client within the write limit.
inline constexpr int kMetricsReadLimitSeconds = 5;
inline constexpr int kMetricsWriteLimitSeconds = 5;

// The Content-Type of the Prometheus text format (version 0.0.4) that `render` returns.
inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

struct MetricsEndpointStart {
  bool ok = false;
  std::string reason;  // why it could not listen, the system's words where it gave any
  int port = 0;        // the port it listens on (the one chosen for port 0)
};

class IMetricsEndpoint {
 public:
  virtual ~IMetricsEndpoint() = default;
  // Listens on `address` and from then on answers GET /metrics (and HEAD) with the text `render`
  // returns, in the Prometheus text format; any other path is 404, any other method on
  // /metrics 405. `render` runs on the endpoint's thread, one call per scrape.
  virtual MetricsEndpointStart Start(const ListenAddress& address,
                                     std::function<std::string()> render) = 0;
  // Stops listening and waits for the requests under way; also done on destruction.
  virtual void Stop() = 0;
};

}  // namespace tarnwick
