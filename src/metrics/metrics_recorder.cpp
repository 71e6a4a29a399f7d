#include "metrics/metrics_recorder.h"

#include <utility>

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {
namespace {

constexpr double kNsPerSecond = 1e9;

WatchMetrics& Of(MetricsSnapshot& snapshot, Watch watch) {
  return snapshot.watches[static_cast<size_t>(watch)];
}

std::optional<double> Bytes(int64_t value) {
  if (value < 0) return std::nullopt;
  return static_cast<double>(value);
}

}  // namespace

void MetricsRecorder::Attach(const IStatusSource& status) {
  status_ = &status;
  Publish();
}

void MetricsRecorder::OnExceeding(const ExceedingResult& exceeding) {
  Tops& tops = tops_[static_cast<size_t>(exceeding.watch)];
  if (exceeding.runTop.name.empty()) return;
  tops.run = Top{exceeding.runTop.name, exceeding.runTop.pid, exceeding.runTop.share};
}

void MetricsRecorder::OnAlert(const AlertResult& alert) {
  WatchMetrics& m = Of(working_, alert.watch);
  ++m.alertsRaised;
  if (WentOut(alert.dispatch)) ++m.alertsSent;
  if (alert.dispatch == DispatchOutcome::Sent) ++working_.smsSent;
  switch (alert.termination) {
    case TerminationOutcome::NotOn:
      break;
    case TerminationOutcome::Succeeded:
      ++m.killsSucceeded;
      break;
    case TerminationOutcome::Failed:
      ++m.killsFailed;
      break;
    case TerminationOutcome::Refused:
      ++m.killsRefused;
      break;
  }
  Tops& tops = tops_[static_cast<size_t>(alert.watch)];
  if (alert.top.name.empty()) {
    tops.alert.reset();
  } else {
    tops.alert = Top{alert.top.name, alert.top.pid, alert.top.share};
  }
  // The run the alert ended: the next exceeding sample begins another.
  tops.run.reset();
}

void MetricsRecorder::OnBackToNormal(const BackToNormalResult& normal) {
  if (normal.noticeDue && normal.dispatch == DispatchOutcome::Sent) ++working_.smsSent;
}

// Connecting leaves the state as the step before it (Started) left it.
void MetricsRecorder::OnLogin(const LoginResult& login) {
  switch (login.step) {
    case LoginResult::Step::Accepted:
      working_.loggedIn = true;
      break;
    case LoginResult::Step::Started:
    case LoginResult::Step::NoAccount:
    case LoginResult::Step::Refused:
    case LoginResult::Step::Unreadable:
      working_.loggedIn = false;
      break;
    case LoginResult::Step::Connecting:
      break;
  }
  Publish();
}

void MetricsRecorder::OnCycleDone(const CycleDoneResult& done) {
  ++working_.cycles;
  working_.lastCycleSeconds = static_cast<double>(done.durationNs) / kNsPerSecond;
  if (status_ != nullptr) working_.cpuUsageRatio = status_->Status().judgedCpu / 100.0;
  Publish();
}

void MetricsRecorder::Publish() {
  if (status_ == nullptr) return;
  const EngineStatus status = status_->Status();
  MetricsSnapshot& s = working_;
  s.monitoring = status.monitoring;
  s.memoryTotalBytes = Bytes(status.totalMemoryBytes);
  s.memoryAvailableBytes = s.memoryTotalBytes ? Bytes(status.availableMemoryBytes) : std::nullopt;
  s.memoryUsedBytes = s.memoryTotalBytes ? Bytes(status.usedMemoryBytes) : std::nullopt;

  for (size_t i = 0; i < kWatchCount; ++i) {
    const WatchStatus& w = status.watches[i];
    WatchMetrics& m = s.watches[i];
    const bool program = IsProgramWatch(static_cast<Watch>(i));
    m.consecutive = w.count;
    m.alertActive = w.alertActive;
    const bool known = !program || status.hasProgramMonitor;
    m.thresholdRatio = known && w.thresholdPercent
                           ? std::optional<double>(*w.thresholdPercent / 100.0)
                           : std::nullopt;
    m.alertSamples = known ? w.alertSamples : std::nullopt;
    // The top process is shown while its watch is over the threshold or alerted; afterwards the
    // next exceeding sample names a new one.
    Tops& tops = tops_[i];
    if (!w.exceeding) tops = Tops{};
    const bool alerted = w.alertActive && tops.alert;
    const std::optional<Top>& shown = alerted ? tops.alert : tops.run;
    if (shown) {
      m.topName = shown->name;
      m.topShareRatio = shown->share / 100.0;
    } else {
      m.topName.reset();
      m.topShareRatio = 0;
    }
    m.alertTopPid = alerted ? std::optional<int>(tops.alert->pid) : std::nullopt;
  }

  // The credits as the alert dispatcher reads them.
  s.smsCredits = LeadingNumber(Trim(status.credits));
  board_.Publish(s);
}

bool MailFailureCounter::Start(const std::string& program, const std::string& standardInput,
                               MailerFinished finished) {
  const bool started =
      launcher_.Start(program, standardInput,
                      [failed = failed_, finished = std::move(finished)](const MailerExit& exit) {
                        if (!exit.sent && failed) failed();
                        if (finished) finished(exit);
                      });
  if (!started && failed_) failed_();
  return started;
}

}  // namespace tarnwick
