#include "platform/windows/windows_console_requests.h"

#include <windows.h>

#include <atomic>

namespace tarnwick {

namespace {

std::atomic<IEventWait*> gWait{nullptr};
std::atomic<bool> gRequested{false};
// Set once the program's loop has ended.
HANDLE gDone = nullptr;

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  gRequested.store(true);
  if (IEventWait* wait = gWait.load()) wait->Wake();
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && gDone != nullptr) {
    WaitForSingleObject(gDone, 5000);
  }
  return TRUE;
}

}  // namespace

WindowsConsoleRequests::WindowsConsoleRequests(IEventWait& wait) {
  IEventWait* expected = nullptr;
  if (!gWait.compare_exchange_strong(expected, &wait)) return;
  gDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  gRequested.store(false);
  installed_ = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
  if (!installed_) gWait.store(nullptr);
}

WindowsConsoleRequests::~WindowsConsoleRequests() {
  if (!installed_) return;
  gWait.store(nullptr);
  // A handler that waits lets Windows end the process now; the program's work is done.
  if (gDone != nullptr) SetEvent(gDone);
}

bool WindowsConsoleRequests::Requested() const {
  return installed_ && gRequested.load();
}

}  // namespace tarnwick
