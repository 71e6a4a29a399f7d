#include "platform/windows/windows_event_log.h"

#include <windows.h>

#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// The event types the source uses, as the registration announces them.
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE;
// Longer lines are cut; an entry's strings hold at most 31,839 characters.
constexpr size_t kLongestEntry = 31000;

}  // namespace

EventLogEntryType EntryTypeOf(EventLogKind kind) {
  switch (kind) {
    case EventLogKind::Alert:
      return {EVENTLOG_WARNING_TYPE, 1};
    case EventLogKind::Kill:
      return {EVENTLOG_WARNING_TYPE, 2};
    case EventLogKind::Failure:
      break;
  }
  return {EVENTLOG_ERROR_TYPE, 3};
}

WindowsEventLog::WindowsEventLog()
    : source_(RegisterEventSourceW(nullptr, win::Wide(kEventSourceName).c_str())) {}

WindowsEventLog::~WindowsEventLog() {
  if (source_ != nullptr) DeregisterEventSource(source_);
}

void WindowsEventLog::Report(EventLogKind kind, const std::string& line) {
  if (source_ == nullptr) return;
  std::wstring text = win::Wide(line);
  if (text.size() > kLongestEntry) text.resize(kLongestEntry);
  const wchar_t* strings[] = {text.c_str()};
  const EventLogEntryType entry = EntryTypeOf(kind);
  (void)ReportEventW(source_, entry.type, 0, entry.id, nullptr, 1, 0, strings, nullptr);
}

FileResult RegisterEventLogSource(const std::string& messageFile) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, win::Wide(kEventSourceKey).c_str(), 0,
                                   nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS)
    return FileResult::Failure(win::ErrorText(static_cast<DWORD>(status)));
  const std::wstring file = win::Wide(messageFile);
  status = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(file.c_str()),
                          static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
  if (status == ERROR_SUCCESS) {
    const DWORD types = kTypesSupported;
    status = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&types), sizeof types);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS)
    return FileResult::Failure(win::ErrorText(static_cast<DWORD>(status)));
  return FileResult::Success();
}

FileResult UnregisterEventLogSource() {
  const LSTATUS status =
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, win::Wide(kEventSourceKey).c_str(), KEY_WOW64_64KEY, 0);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    return FileResult::Failure(win::ErrorText(static_cast<DWORD>(status)));
  }
  return FileResult::Success();
}

}  // namespace tarnwick
