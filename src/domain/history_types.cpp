#include "domain/history_types.h"

namespace tarnwick {

std::string_view EventKindName(HistoryEventKind kind) {
  switch (kind) {
    case HistoryEventKind::AlertRaised:
      return "alert";
    case HistoryEventKind::BackToNormal:
      return "back to normal";
    case HistoryEventKind::ProcessTerminated:
      return "terminated";
    case HistoryEventKind::ProgramAlert:
      return "program alert";
    case HistoryEventKind::MonitoringStarted:
      return "started";
    case HistoryEventKind::MonitoringStopped:
      return "stopped";
  }
  return "event";
}

std::string_view WatchName(HistoryWatch watch) {
  switch (watch) {
    case HistoryWatch::None:
      return "";
    case HistoryWatch::Cpu:
      return "CPU";
    case HistoryWatch::Memory:
      return "Memory";
    case HistoryWatch::ProgramCpu:
      return "Program CPU";
    case HistoryWatch::ProgramMemory:
      return "Program memory";
  }
  return "";
}

}  // namespace tarnwick
