// The metrics of a running program, from its main window's events to the HTTP endpoint: the
// recorder on the UI thread, the board between the threads, this process's own figures and the
// endpoint. Both programs use it the same way:
//
//   MetricsService metrics(identity);
//   deps.mailerLauncher = &metrics.CountMailFailures(launcher);  // before the window exists
//   MainWindowModel model(deps);
//   metrics.Start(address, model);                                // before model.OnLoad()
#pragma once

#include <string>
#include <string_view>

#include "domain/listen_address.h"
#include "metrics/metrics_board.h"
#include "metrics/metrics_recorder.h"
#include "platform/httplib/httplib_metrics_endpoint.h"
#include "platform/process_self.h"

namespace tarnwick {

class MainWindowModel;

// The log line once the endpoint listens: this + "http://ADDR:PORT/metrics".
inline constexpr std::string_view kMetricsServedLine = "Metrics served on ";
// Why it does not: this + "ADDR: " + the reason.
inline constexpr std::string_view kMetricsFailedLine = "Cannot serve metrics on ";

class MetricsService {
 public:
  explicit MetricsService(MetricsIdentity identity);
  ~MetricsService();
  MetricsService(const MetricsService&) = delete;
  MetricsService& operator=(const MetricsService&) = delete;

  // `launcher` with every mail that did not leave counted.
  IMailerLauncher& CountMailFailures(IMailerLauncher& launcher);

  // Hooks into the window and listens. Returns the line for the log: kMetricsServedLine with the
  // URL, or kMetricsFailedLine with the reason; `ok` tells which.
  struct Started {
    bool ok = false;
    std::string line;
  };
  Started Start(const ListenAddress& address, MainWindowModel& model);

 private:
  MetricsIdentity identity_;
  MetricsBoard board_;
  MetricsRecorder recorder_;
  std::unique_ptr<MailFailureCounter> mailCounter_;
  std::unique_ptr<IProcessSelf> self_;
  // Last, so that it stops before what it serves from is gone.
  HttplibMetricsEndpoint endpoint_;
};

}  // namespace tarnwick
