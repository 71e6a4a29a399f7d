#include "metrics/metrics_recorder.h"

#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "forms/main_window_model.h"
#include "engine/process_control.h"

namespace tarnwick {
namespace {

constexpr double kNsPerSecond = 1e9;

WatchMetrics& Of(MetricsSnapshot& snapshot, MetricsWatch watch) {
  return snapshot.watches[static_cast<size_t>(watch)];
}

std::optional<double> Ratio(std::optional<int16_t> percent) {
  if (!percent) return std::nullopt;
  return *percent / 100.0;
}

std::optional<int> Whole(std::optional<int16_t> value) {
  if (!value) return std::nullopt;
  return *value;
}

std::optional<double> Bytes(int64_t value) {
  if (value < 0) return std::nullopt;
  return static_cast<double>(value);
}

// The top process is shown while its watch is over the threshold or alerted; afterwards the
// next exceeding sample names a new one.
void KeepTopWhile(WatchMetrics& watch, bool exceeding) {
  if (!exceeding) {
    watch.topName.reset();
    watch.topPid = 0;
  }
}

}  // namespace

void MetricsRecorder::Attach(MainWindowModel& model) {
  model_ = &model;
  model.SetMetricsHook(this);
  Publish();
}

void MetricsRecorder::TopProcess(MetricsWatch watch, const std::string& name, int pid) {
  WatchMetrics& m = Of(working_, watch);
  m.topName = name;
  m.topPid = pid;
}

void MetricsRecorder::AlertRaised(MetricsWatch watch, bool sent) {
  WatchMetrics& m = Of(working_, watch);
  ++m.alertsRaised;
  if (sent) ++m.alertsSent;
}

void MetricsRecorder::Termination(MetricsWatch watch, TerminationOutcome outcome) {
  WatchMetrics& m = Of(working_, watch);
  switch (outcome) {
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
}

void MetricsRecorder::CycleDone(long long durationNs) {
  ++working_.cycles;
  working_.lastCycleSeconds = static_cast<double>(durationNs) / kNsPerSecond;
  if (model_ != nullptr) working_.cpuUsageRatio = model_->CPU_Progress.Value() / 100.0;
  Publish();
}

void MetricsRecorder::Publish() {
  if (model_ == nullptr) return;
  const MainWindowModel& model = *model_;
  MetricsSnapshot& s = working_;
  const Settings& settings = model.settings;
  s.monitoring = model.MonitoringOn();
  s.memoryTotalBytes = Bytes(model.totalMemory);
  s.memoryAvailableBytes = s.memoryTotalBytes ? Bytes(model.availableMemory) : std::nullopt;
  s.memoryUsedBytes = s.memoryTotalBytes ? Bytes(model.usedMemory) : std::nullopt;

  const auto machineWatch = [&](MetricsWatch kind, const WatchState& state,
                                const std::string& threshold) {
    WatchMetrics& m = Of(s, kind);
    m.consecutive = state.count;
    m.thresholdRatio = Ratio(TextToInt16(threshold));
    m.alertSamples = Whole(TextToInt16(settings.num_High));
    m.alertActive = state.raised == 1;
    KeepTopWhile(m, state.exceeded);
  };
  machineWatch(MetricsWatch::Cpu, model.cpuWatch, settings.cpu_High);
  machineWatch(MetricsWatch::Memory, model.memWatch, settings.mem_High);

  ProcessControl* control = model_->processControl();
  const bool programOn = control != nullptr && control->Enabled();
  const auto programWatch = [&](MetricsWatch kind, const ProgramWatch* state,
                                std::optional<double> threshold) {
    WatchMetrics& m = Of(s, kind);
    const bool watching = programOn && state != nullptr;
    m.consecutive = watching ? state->count : 0;
    m.alertActive = watching && state->notified;
    m.thresholdRatio = control != nullptr ? threshold : std::nullopt;
    m.alertSamples = control != nullptr
                         ? std::optional<int>(control->programSettings().pgmAlertSetF)
                         : std::nullopt;
    KeepTopWhile(m, watching && (state->count > 0 || state->notified));
  };
  if (control != nullptr) {
    const ProgramSettings& p = control->programSettings();
    programWatch(MetricsWatch::ProgramCpu, &control->programMonitor().cpuWatch(),
                 p.pgmCPUsetF / 100.0);
    programWatch(MetricsWatch::ProgramMemory, &control->programMonitor().memWatch(),
                 p.pgmMEMsetF / 100.0);
  } else {
    programWatch(MetricsWatch::ProgramCpu, nullptr, std::nullopt);
    programWatch(MetricsWatch::ProgramMemory, nullptr, std::nullopt);
  }

  s.smsSentToday = settings.smsSentToday;
  // The credits as the alert dispatcher reads them.
  s.smsCredits = LeadingNumber(Trim(model.Label7.caption));
  s.loggedIn = model.session.loggedIn;
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
