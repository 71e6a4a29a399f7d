#include "platform/httplib/metrics_service.h"

#include <utility>

#include "metrics/metrics_text.h"
#include "forms/main_window_model.h"

#ifdef _WIN32
#include "platform/windows/windows_self_figures.h"
#else
#include "platform/linux/proc_self_figures.h"
#endif

namespace tarnwick {
namespace {

#ifdef _WIN32
using SelfFigures = WindowsSelfFigures;
#else
using SelfFigures = ProcSelfFigures;
#endif

}  // namespace

MetricsService::MetricsService(MetricsIdentity identity)
    : identity_(std::move(identity)), recorder_(board_), self_(std::make_unique<SelfFigures>()) {}

MetricsService::~MetricsService() {
  endpoint_.Stop();
}

IMailerLauncher& MetricsService::CountMailFailures(IMailerLauncher& launcher) {
  mailCounter_ = std::make_unique<MailFailureCounter>(launcher, [this] { recorder_.MailFailed(); });
  return *mailCounter_;
}

MetricsService::Started MetricsService::Start(const ListenAddress& address,
                                              MainWindowModel& model) {
  recorder_.Attach(model);
  const MetricsEndpointStart start = endpoint_.Start(
      address, [this] { return FormatMetrics(board_.Snapshot(), self_->Read(), identity_); });
  Started started;
  started.ok = start.ok;
  if (start.ok) {
    ListenAddress actual = address;
    actual.port = start.port;
    started.line =
        std::string(kMetricsServedLine) + "http://" + ListenAddressText(actual) + "/metrics";
  } else {
    started.line =
        std::string(kMetricsFailedLine) + ListenAddressText(address) + ": " + start.reason;
  }
  return started;
}

}  // namespace tarnwick
