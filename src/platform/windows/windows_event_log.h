// The Windows Event Log: the source "Tarnwick" in the Application log. Alerts and terminations
// are warnings, failures errors; the entry's text is the log line. The message texts live in
// tarnwickd.exe (event_messages.mc), which the source's registration names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/event_log.h"
#include "platform/file_system.h"

namespace tarnwick {

inline constexpr std::string_view kEventSourceName = "Tarnwick";
// The source's key under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kEventSourceKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tarnwick";

// The event identifiers and types of the kinds; the identifiers are those of event_messages.mc.
struct EventLogEntryType {
  uint16_t type;  // EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE
  uint32_t id;
};
EventLogEntryType EntryTypeOf(EventLogKind kind);

class WindowsEventLog final : public IEventLog {
 public:
  WindowsEventLog();
  ~WindowsEventLog() override;
  WindowsEventLog(const WindowsEventLog&) = delete;
  WindowsEventLog& operator=(const WindowsEventLog&) = delete;

  // ReportEventW with the line as the entry's one string; a refusal is ignored.
  void Report(EventLogKind kind, const std::string& line) override;

 private:
  void* source_ = nullptr;  // the HANDLE of RegisterEventSourceW
};

// Registers the source with `messageFile` (tarnwickd.exe) as the file of its message texts, so
// that the Event Viewer shows the lines; needs an administrator. Unregistering a source that is
// not there succeeds.
FileResult RegisterEventLogSource(const std::string& messageFile);
FileResult UnregisterEventLogSource();

}  // namespace tarnwick
