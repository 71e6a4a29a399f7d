// The monitor's side of the metrics: counts the engine's decisions as they are announced, and
// after each cycle (and each switch of monitoring) publishes the engine's state with those counts
// to the board the endpoint serves. Everything here runs on the UI thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "metrics/metrics_board.h"
#include "metrics/metrics_snapshot.h"
#include "platform/mailer_launcher.h"
#include "results/engine_listener.h"
#include "results/engine_status.h"

namespace tarnwick {

class MetricsRecorder final : public IEngineListener {
 public:
  // The board outlives it.
  explicit MetricsRecorder(MetricsBoard& board) : board_(board) {}
  MetricsRecorder(const MetricsRecorder&) = delete;
  MetricsRecorder& operator=(const MetricsRecorder&) = delete;

  void OnExceeding(const ExceedingResult& exceeding) override;
  void OnAlert(const AlertResult& alert) override;
  void OnBackToNormal(const BackToNormalResult& normal) override;
  void OnLogin(const LoginResult& login) override;
  void OnCycleDone(const CycleDoneResult& done) override;
  void OnMonitoring(const MonitoringResult&) override { Publish(); }

  // A mail through the second SMTP server that did not leave.
  void MailFailed() { ++working_.mailFailures; }

  // Reads the engine's state from `status` (which outlives the recorder) and publishes it.
  void Attach(const IStatusSource& status);

  // Publishes the engine's state now.
  void Publish();

 private:
  // The process the alert names, per watch: while a watch exceeds before its alert, the one the
  // run so far would name; from the alert until its next normal sample, the alert's own.
  struct Top {
    std::string name;
    int pid = 0;
    double share = 0;  // percent, as the engine gives it
  };
  struct Tops {
    std::optional<Top> run;
    std::optional<Top> alert;
  };

  const IStatusSource* status_ = nullptr;
  MetricsBoard& board_;
  // The counters as the decisions left them; the rest is read from the engine at each Publish.
  MetricsSnapshot working_;
  std::array<Tops, kWatchCount> tops_{};
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
