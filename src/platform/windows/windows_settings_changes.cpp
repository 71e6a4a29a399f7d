#include "platform/windows/windows_settings_changes.h"

#include <array>
#include <cwctype>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {

namespace {

// How long a burst of changes settles before it counts as one request.
constexpr DWORD kSettleMs = 200;

// The files whose change asks for a reload; others in the folder (the log, the history) do not.
constexpr std::array<std::wstring_view, 3> kSettingsFileNames = {L"setting.ini", L"smtpsvr.ini",
                                                                 L"pgmsetting.ini"};

// Names, creations, renames (a save puts a temporary file in place) and writes.
constexpr DWORD kWatchedChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

// One read of notifications; DWORD-aligned as ReadDirectoryChangesW requires. A burst larger
// than this comes back as an overflow, which counts as a change.
constexpr DWORD kNotifyBufferBytes = 16 * 1024;

constexpr std::string_view kWatchFailureStart = "Cannot watch the settings folder ";

std::mutex gCurrentMutex;
WindowsSettingsChanges* gCurrent = nullptr;

// File names in Windows folders compare without case.
bool IsSettingsFile(std::wstring_view name) {
  for (std::wstring_view file : kSettingsFileNames) {
    if (name.size() != file.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::towlower(static_cast<wint_t>(name[i])) == static_cast<wint_t>(file[i]);
    }
    if (same) return true;
  }
  return false;
}

bool NamesASettingsFile(const unsigned char* records, DWORD bytes) {
  DWORD offset = 0;
  while (offset + sizeof(FILE_NOTIFY_INFORMATION) <= bytes) {
    const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(records + offset);
    const size_t nameChars = record->FileNameLength / sizeof(wchar_t);
    if (IsSettingsFile(std::wstring_view(record->FileName, nameChars))) return true;
    if (record->NextEntryOffset == 0) break;
    offset += record->NextEntryOffset;
  }
  return false;
}

}  // namespace

WindowsSettingsChanges::WindowsSettingsChanges(const std::string& settingsFolder, IEventWait& wake)
    : wake_(wake),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      records_(kNotifyBufferBytes / sizeof(DWORD)) {
  {
    std::lock_guard<std::mutex> lock(gCurrentMutex);
    gCurrent = this;
  }
  const std::wstring folder = win::Wide(settingsFolder);
  folder_ = win::Handle(CreateFileW(
      folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  // The first read is under way before the constructor returns: the system keeps changes for a
  // folder handle only from its first read on, and a save right after the start must count.
  if (!folder_ || !stop_ || !done_ || !StartRead()) {
    watchFailure_ =
        std::string(kWatchFailureStart) + settingsFolder + ": " + win::ErrorText(GetLastError());
    return;
  }
  watcher_ = std::thread([this] { Watch(); });
}

WindowsSettingsChanges::~WindowsSettingsChanges() {
  {
    std::lock_guard<std::mutex> lock(gCurrentMutex);
    if (gCurrent == this) gCurrent = nullptr;
  }
  if (watcher_.joinable()) {
    SetEvent(stop_.get());
    watcher_.join();
  }
}

bool WindowsSettingsChanges::TakeRequest() {
  return requested_.exchange(false);
}

void WindowsSettingsChanges::Request() {
  requested_.store(true);
  wake_.Wake();
}

bool WindowsSettingsChanges::StartRead() {
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = done_.get();
  ResetEvent(done_.get());
  return ReadDirectoryChangesW(folder_.get(), records_.data(), kNotifyBufferBytes, FALSE,
                               kWatchedChanges, nullptr, &overlapped_, nullptr) != 0;
}

void WindowsSettingsChanges::Watch() {
  const auto* records = reinterpret_cast<const unsigned char*>(records_.data());
  // A save writes up to three files, each in several steps: the burst settles for a moment and
  // then counts as one request.
  bool pending = false;
  for (;;) {
    const HANDLE events[] = {stop_.get(), done_.get()};
    const DWORD woken = WaitForMultipleObjects(2, events, FALSE, pending ? kSettleMs : INFINITE);
    if (woken == WAIT_TIMEOUT) {
      pending = false;
      Request();
      continue;
    }
    DWORD bytes = 0;
    if (woken != WAIT_OBJECT_0 + 1) {
      // The read must be over before its buffer goes away.
      CancelIoEx(folder_.get(), &overlapped_);
      GetOverlappedResult(folder_.get(), &overlapped_, &bytes, TRUE);
      return;
    }
    if (GetOverlappedResult(folder_.get(), &overlapped_, &bytes, FALSE)) {
      // No bytes: the changes overflowed the buffer; one of them may be ours.
      if (bytes == 0 || NamesASettingsFile(records, bytes)) pending = true;
    } else if (GetLastError() == ERROR_NOTIFY_ENUM_DIR) {
      pending = true;
    } else {
      if (pending) Request();
      return;
    }
    // A folder that went away ends the watch; the service's request still works.
    if (!StartRead()) {
      if (pending) Request();
      return;
    }
  }
}

void RequestSettingsReload() {
  std::lock_guard<std::mutex> lock(gCurrentMutex);
  if (gCurrent != nullptr) gCurrent->Request();
}

}  // namespace tarnwick
