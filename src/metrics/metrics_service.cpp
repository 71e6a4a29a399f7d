#include "metrics/metrics_service.h"

#include <utility>

#include "metrics/metrics_text.h"

namespace tarnwick {

MetricsService::MetricsService(MetricsIdentity identity, IMetricsEndpoint& endpoint,
                               IProcessSelf& self)
    : identity_(std::move(identity)), endpoint_(endpoint), self_(self), recorder_(board_) {}

// Stopped before what it serves from is gone.
MetricsService::~MetricsService() {
  endpoint_.Stop();
}

IMailerLauncher& MetricsService::CountMailFailures(IMailerLauncher& launcher) {
  mailCounter_ = std::make_unique<MailFailureCounter>(launcher, [this] { recorder_.MailFailed(); });
  return *mailCounter_;
}

MetricsService::Started MetricsService::Start(const ListenAddress& address,
                                              const IStatusSource& status) {
  recorder_.Attach(status);
  const MetricsEndpointStart start = endpoint_.Start(
      address, [this] { return FormatMetrics(board_.Snapshot(), self_.Read(), identity_); });
  Started started;
  started.ok = start.ok;
  if (start.ok) {
    ListenAddress actual = address;
    actual.port = start.port;
    started.line =
        std::string(kMetricsServedLine) + "http://" + ListenAddressText(actual) + "/metrics";
    if (!IsLoopback(actual)) {
      started.warning =
          std::string(kMetricsOpenStart) + ListenAddressText(actual) + std::string(kMetricsOpenEnd);
    }
  } else {
    started.line =
        std::string(kMetricsFailedLine) + ListenAddressText(address) + ": " + start.reason;
  }
  return started;
}

}  // namespace tarnwick
