#include "forms/desktop_notifications.h"

#include <cmath>

#include "common/numbers.h"
#include "domain/history_time.h"

namespace tarnwick {
namespace {

// The choice file holds one short line; more is no file of ours.
constexpr size_t kNotificationsFileLimit = 256;
constexpr std::string_view kNotificationsUnreadable =
    "Cannot read the notifications choice, they stay on: ";
constexpr std::string_view kPidStart = " (pid ";

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

std::string ProcessText(const std::string& name, int pid) {
  return name + std::string(kPidStart) + std::to_string(pid) + ")";
}

}  // namespace

DesktopNotifications::DesktopNotifications(Engine& engine, std::function<bool()> windowHidden)
    : engine_(engine), windowHidden_(std::move(windowHidden)) {
  engine_.Listen(this);
}

DesktopNotifications::~DesktopNotifications() {
  engine_.Unlisten(this);
}

std::string DesktopNotifications::FilePath() const {
  ISystemInfo& system = engine_.deps().system;
  return system.SettingsFolder() + system.PathSeparator() + std::string(kNotificationsFileName);
}

void DesktopNotifications::Load() {
  const FileReadResult read = engine_.deps().files.ReadFile(FilePath(), kNotificationsFileLimit);
  if (read.status == FileReadStatus::Unreadable) {
    engine_.WriteLog(std::string(kNotificationsUnreadable) + read.reason);
  }
  on_ = read.status != FileReadStatus::Ok || FirstLine(read.content) != kNotificationsOffLine;
}

std::optional<std::string> DesktopNotifications::SetOn(bool on) {
  const std::string line(on ? kNotificationsOnLine : kNotificationsOffLine);
  const FileResult written = engine_.deps().files.ReplaceFile(FilePath(), line + "\r\n");
  if (!written.ok) return written.reason;
  on_ = on;
  if (!on_) pending.reset();
  return std::nullopt;
}

void DesktopNotifications::OnShown() {
  if (pending) shown_ = std::move(pending);
  pending.reset();
}

int64_t DesktopNotifications::Now() const {
  return ToHistorySeconds(engine_.deps().clock.Now());
}

void DesktopNotifications::OnAlert(const AlertResult& alert) {
  if (!Due()) return;
  DesktopNotification note;
  note.title = std::string(kAlertNotificationTitle);
  note.text = FirstLine(alert.message);
  if (!alert.top.name.empty()) {
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) in
    // "\n" + std::string(...).
    note.text.append("\n").append(kTopProcessStart).append(alert.top.name).append(" ");
    note.text.append(IntText(std::lround(alert.top.share))).append("%");
  }
  if (alert.termination == TerminationOutcome::Succeeded ||
      alert.termination == TerminationOutcome::Failed) {
    const bool done = alert.termination == TerminationOutcome::Succeeded;
    note.text.append("\n").append(done ? kTerminatedStart : kNotTerminatedStart);
    note.text.append(ProcessText(alert.killedName, alert.killedPid));
  }
  note.t = Now();
  note.kind =
      IsProgramWatch(alert.watch) ? HistoryEventKind::ProgramAlert : HistoryEventKind::AlertRaised;
  pending = std::move(note);
}

// A termination that the alert's own line reports is in the alert's note already.
void DesktopNotifications::OnTermination(const TerminationResult& termination) {
  if (!Due() || termination.line.empty()) return;
  DesktopNotification note;
  note.title =
      std::string(termination.terminated ? kTerminationNotificationTitle : kTerminationFailedTitle);
  note.text = FirstLine(termination.line) + "\n" + std::string(kTopProcessStart) +
              ProcessText(termination.name, termination.pid);
  note.t = Now();
  note.kind = HistoryEventKind::ProcessTerminated;
  pending = std::move(note);
}

}  // namespace tarnwick
