// The monitor's side of the metrics: counts the events the main window and the program monitor
// report, and after each cycle (and each switch of monitoring) publishes the window's state with
// those counts to the board the endpoint serves. Everything here runs on the UI thread.
#pragma once

#include <functional>

#include "metrics/metrics_board.h"
#include "metrics/metrics_hook.h"
#include "metrics/metrics_snapshot.h"
#include "platform/mailer_launcher.h"

namespace tarnwick {

class MainWindowModel;

class MetricsRecorder final : public IMetricsHook {
 public:
  // The board outlives it. A recorder is made before the window it counts for (the window's
  // mailer launcher comes from it), and the window goes first.
  explicit MetricsRecorder(MetricsBoard& board) : board_(board) {}
  MetricsRecorder(const MetricsRecorder&) = delete;
  MetricsRecorder& operator=(const MetricsRecorder&) = delete;

  void TopProcess(MetricsWatch watch, const std::string& name, int pid) override;
  void AlertRaised(MetricsWatch watch, bool sent) override;
  void Termination(MetricsWatch watch, TerminationOutcome outcome) override;
  void CycleDone(long long durationNs) override;
  void MonitoringChanged() override { Publish(); }

  // A mail through the second SMTP server that did not leave.
  void MailFailed() { ++working_.mailFailures; }

  // Hooks into the window and publishes its state.
  void Attach(MainWindowModel& model);

  // Publishes the window's state now.
  void Publish();

 private:
  MainWindowModel* model_ = nullptr;
  MetricsBoard& board_;
  // The counters and the top processes as the events left them; the rest is read from the
  // window at each Publish.
  MetricsSnapshot working_;
};

// The mailer's launcher as the metrics see it: every run is handed on unchanged, and each mail
// that did not leave (the mailer could not start, or ended without sending) is counted.
class MailFailureCounter final : public IMailerLauncher {
 public:
  MailFailureCounter(IMailerLauncher& launcher, std::function<void()> failed)
      : launcher_(launcher), failed_(std::move(failed)) {}

  bool Start(const std::string& program, const std::string& standardInput,
             MailerFinished finished) override;

 private:
  IMailerLauncher& launcher_;
  std::function<void()> failed_;
};

}  // namespace tarnwick
