// The metrics endpoint: GET /metrics over HTTP on one address, served from threads of its own
// with bounded requests, so a scrape never waits for the monitor cycle and a client can hold
// neither memory nor more than a few connections.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "domain/listen_address.h"

namespace tarnwick {

// Requests are gathered as they arrive by one thread that never waits on a client; only a whole
// request is handed to the threads that answer, this many of the endpoint's own, through a short
// queue of this many (a whole request that finds it full is closed at once). No client address
// holds more than this many connections, gathering, waiting or answered: one more from it is
// closed at once unless its request had already arrived whole (a scrape's does). At most this many
// requests are gathered at a time; past that, the one gathered longest is dropped to make room. So
// slow clients, from however many addresses, hold no answering thread, and a scrape, whose request
// arrives in one piece, is answered at once.
inline constexpr int kMetricsWorkers = 4;
inline constexpr int kMetricsWaitingConnections = 16;
inline constexpr int kMetricsConnectionsPerClient = 2;
inline constexpr int kMetricsRequestsGathered = 256;
// A request (line, headers and any body) longer than this is cut off and the connection closed.
inline constexpr size_t kMetricsRequestLimit = 16 * 1024;
// The whole request must arrive within this time from the connection's start, however it
// trickles in, and each part of the answer must be taken by the client within the same time.
inline constexpr int kMetricsReadLimitSeconds = 2;
inline constexpr int kMetricsWriteLimitSeconds = 2;

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
