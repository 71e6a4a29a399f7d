// The metrics of a running program, from the engine's decisions to the HTTP endpoint: the
// recorder on the UI thread, the board between the threads, this process's own figures and the
// endpoint. Both programs use it the same way:
//
//   MetricsService metrics(identity, endpoint, self);
//   deps.mailerLauncher = &metrics.CountMailFailures(launcher);  // before the engine exists
//   Engine engine(deps);
//   engine.Listen(&metrics.recorder());
//   metrics.Start(address, engine);                               // before the engine loads
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "domain/listen_address.h"
#include "metrics/metrics_board.h"
#include "metrics/metrics_recorder.h"
#include "platform/metrics_endpoint.h"
#include "platform/process_self.h"
#include "results/engine_status.h"

namespace tarnwick {

// The log line once the endpoint listens: this + "http://ADDR:PORT/metrics".
inline constexpr std::string_view kMetricsServedLine = "Metrics served on ";
// Why it does not: this + "ADDR: " + the reason.
inline constexpr std::string_view kMetricsFailedLine = "Cannot serve metrics on ";
// Logged once when the address reaches beyond this machine: start + "ADDR" + end.
inline constexpr std::string_view kMetricsOpenStart = "Metrics are served beyond this machine on ";
inline constexpr std::string_view kMetricsOpenEnd =
    ": whoever can reach it may read them and hold a few of its connections (see docs/security.md, "
    "\"The metrics endpoint\")";

class MetricsService {
 public:
  // The endpoint and the figures outlive the service; the endpoint is stopped when it ends.
  MetricsService(MetricsIdentity identity, IMetricsEndpoint& endpoint, IProcessSelf& self);
  ~MetricsService();
  MetricsService(const MetricsService&) = delete;
  MetricsService& operator=(const MetricsService&) = delete;

  // `launcher` with every mail that did not leave counted.
  IMailerLauncher& CountMailFailures(IMailerLauncher& launcher);
  // What listens to the engine's decisions.
  MetricsRecorder& recorder() { return recorder_; }

  // Reads the engine's state from `status` and listens. Returns the line for the log:
  // kMetricsServedLine with the URL, or kMetricsFailedLine with the reason; `ok` tells which.
  struct Started {
    bool ok = false;
    std::string line;
    // For an address beyond the loopback: the warning to log once as well; else empty.
    std::string warning;
  };
  Started Start(const ListenAddress& address, const IStatusSource& status);

 private:
  MetricsIdentity identity_;
  IMetricsEndpoint& endpoint_;
  IProcessSelf& self_;
  MetricsBoard board_;
  MetricsRecorder recorder_;
  std::unique_ptr<MailFailureCounter> mailCounter_;
};

}  // namespace tarnwick
