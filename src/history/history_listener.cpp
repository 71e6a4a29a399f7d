#include "history/history_listener.h"

#include <string>

namespace tarnwick {

HistoryWatch HistoryWatchOf(Watch watch) {
  switch (watch) {
    case Watch::Cpu:
      return HistoryWatch::Cpu;
    case Watch::Memory:
      return HistoryWatch::Memory;
    case Watch::ProgramCpu:
      return HistoryWatch::ProgramCpu;
    case Watch::ProgramMemory:
      return HistoryWatch::ProgramMemory;
  }
  return HistoryWatch::None;
}

void HistoryListener::OnSample(const SampleResult& sample) {
  recorder_.RecordCycle(sample.cpu, sample.mem, sample.usedMB);
}

void HistoryListener::OnExceeding(const ExceedingResult& exceeding) {
  if (IsProgramWatch(exceeding.watch) || !exceeding.shareKnown) return;
  recorder_.RecordTop(exceeding.watch == Watch::Cpu ? TopKind::Cpu : TopKind::Memory,
                      exceeding.top.name, exceeding.top.pid, exceeding.top.share);
}

void HistoryListener::OnMonitoring(const MonitoringResult& monitoring) {
  if (!monitoring.changed) return;
  recorder_.RecordEvent(
      monitoring.on ? HistoryEventKind::MonitoringStarted : HistoryEventKind::MonitoringStopped,
      std::string(monitoring.on ? kMonitoringStarted : kMonitoringStopped));
}

void HistoryListener::OnAlert(const AlertResult& alert) {
  HistoryEvent event;
  event.kind =
      IsProgramWatch(alert.watch) ? HistoryEventKind::ProgramAlert : HistoryEventKind::AlertRaised;
  event.watch = HistoryWatchOf(alert.watch);
  event.value = alert.value;
  event.top = alert.top.name;
  event.text = alert.message;
  if (alert.termination == TerminationOutcome::Succeeded) event.kill = KillOutcome::Terminated;
  if (alert.termination == TerminationOutcome::Failed) event.kill = KillOutcome::Failed;
  if (event.kill != KillOutcome::None) event.pid = alert.killedPid;
  event.sent = WentOut(alert.dispatch) ? SendState::Sent : SendState::LogOnly;
  recorder_.RecordWatchEvent(event);
}

void HistoryListener::OnBackToNormal(const BackToNormalResult& normal) {
  HistoryEvent event;
  event.kind = HistoryEventKind::BackToNormal;
  event.watch = HistoryWatchOf(normal.watch);
  event.value = normal.value;
  event.top = normal.program;
  event.text = normal.line;
  event.sent = normal.noticeDue && WentOut(normal.dispatch) ? SendState::Sent : SendState::LogOnly;
  recorder_.RecordWatchEvent(event);
}

void HistoryListener::OnTermination(const TerminationResult& termination) {
  recorder_.RecordTermination(termination.name, termination.pid, termination.terminated);
}

}  // namespace tarnwick
