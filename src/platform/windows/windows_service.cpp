#include "platform/windows/windows_service.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_settings_changes.h"
#include "platform/windows/windows_system_info.h"

namespace tarnwick {
namespace {

// How long the manager waits for the stop before it counts the service as hung; the loop ends
// within a second, the history's last write may take a little longer.
constexpr DWORD kStopWaitHintMs = 15000;
constexpr auto kUninstallStopLimit = std::chrono::seconds(30);
// Restart after a failure: after a minute, three times; the count starts anew after a day.
constexpr DWORD kRestartDelayMs = 60000;
constexpr DWORD kFailureResetSeconds = 24 * 60 * 60;

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE h = nullptr) : h_(h) {}
  ~ServiceHandle() {
    if (h_ != nullptr) CloseServiceHandle(h_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void Reset(SC_HANDLE h) {
    if (h_ != nullptr) CloseServiceHandle(h_);
    h_ = h;
  }

 private:
  SC_HANDLE h_;
};

FileResult LastError() {
  return FileResult::Failure(win::ErrorText(GetLastError()));
}

std::wstring AccountName(ServiceAccount account) {
  return win::Wide(account == ServiceAccount::LocalSystem ? kLocalSystemAccount
                                                          : kLocalServiceAccount);
}

FileResult Describe(SC_HANDLE service) {
  std::wstring description = win::Wide(kServiceDescription);
  SERVICE_DESCRIPTIONW text{description.data()};
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text)) return LastError();
  SC_ACTION restart[3];
  for (SC_ACTION& action : restart) action = {SC_ACTION_RESTART, kRestartDelayMs};
  SERVICE_FAILURE_ACTIONSW failure{};
  failure.dwResetPeriod = kFailureResetSeconds;
  failure.cActions = static_cast<DWORD>(std::size(restart));
  failure.lpsaActions = restart;
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
    return LastError();
  }
  // An end with an error status (the program gave up) counts as a failure too, not only a
  // crash. A manager that does not know this setting (Wine's) restarts after crashes only.
  SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) &&
      GetLastError() != ERROR_INVALID_LEVEL) {
    return LastError();
  }
  return FileResult::Success();
}

// Asks a running service to stop and waits until it has, up to `limit`.
bool StopAndWait(SC_HANDLE service, std::chrono::seconds limit) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service, &status)) return false;
  if (status.dwCurrentState == SERVICE_STOPPED) return true;
  if (status.dwCurrentState != SERVICE_STOP_PENDING) {
    (void)ControlService(service, SERVICE_CONTROL_STOP, &status);
  }
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return false;
}

// The run under the manager. The manager calls ServiceMain on a thread of its own; the control
// handler runs on the thread of StartServiceCtrlDispatcherW.
const std::function<int()>* gWork = nullptr;
int gExitCode = 0;
SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
std::atomic<bool> gStopRequested{false};
std::atomic<IEventWait*> gStopWait{nullptr};

void Report(DWORD state, DWORD waitHintMs = 0, int exitCode = 0) {
  static DWORD checkPoint = 0;
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING
          ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PARAMCHANGE
          : 0;
  if (exitCode != 0) {
    status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exitCode);
  }
  const bool settled = state == SERVICE_RUNNING || state == SERVICE_STOPPED;
  status.dwCheckPoint = settled ? 0 : ++checkPoint;
  status.dwWaitHint = waitHintMs;
  (void)SetServiceStatus(gStatusHandle, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING, kStopWaitHintMs);
      gStopRequested.store(true);
      if (IEventWait* wait = gStopWait.load()) wait->Wake();
      return NO_ERROR;
    case SERVICE_CONTROL_PARAMCHANGE:
      RequestSettingsReload();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  const std::wstring name = win::Wide(kServiceName);
  gStatusHandle = RegisterServiceCtrlHandlerExW(name.c_str(), OnControl, nullptr);
  if (gStatusHandle == nullptr) {
    gExitCode = 1;
    return;
  }
  // Running before the work loads its settings and takes its first samples: the manager waits
  // for nothing, and a stop that comes meanwhile is seen by the work's loop.
  Report(SERVICE_RUNNING);
  gExitCode = (*gWork)();
  Report(SERVICE_STOPPED, 0, gExitCode);
}

}  // namespace

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  // Backslashes are literal except before a quote: there each one is doubled, and the quote
  // itself is escaped. The closing quote counts as a quote too.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string ServiceCommandLine(const ServiceSetup& setup) {
  const std::string program = setup.program.empty() ? RunningExecutablePath() : setup.program;
  // The program's path is always quoted: unquoted, a path with a blank would let the manager try
  // "C:\Program.exe" first. A path holds no quote character.
  std::string line = "\"" + program + "\"";
  for (const std::string& argument : setup.arguments) line += " " + QuoteArgument(argument);
  return line;
}

FileResult InstallService(const ServiceSetup& setup) {
  const ServiceHandle manager(
      OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager) return LastError();
  const std::wstring name = win::Wide(kServiceName);
  const std::wstring display = win::Wide(kServiceDisplayName);
  const std::wstring command = win::Wide(ServiceCommandLine(setup));
  const std::wstring account = AccountName(setup.account);
  ServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (service) {
    if (!ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                              SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                              account.c_str(), L"", display.c_str())) {
      return LastError();
    }
  } else if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
    service.Reset(CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                 SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                 account.c_str(), L""));
    if (!service) return LastError();
  } else {
    return LastError();
  }
  return Describe(service.get());
}

FileResult UninstallService(bool* wasInstalled) {
  if (wasInstalled != nullptr) *wasInstalled = false;
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return LastError();
  const std::wstring name = win::Wide(kServiceName);
  const ServiceHandle service(
      OpenServiceW(manager.get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return FileResult::Success();
    return LastError();
  }
  if (wasInstalled != nullptr) *wasInstalled = true;
  if (!StopAndWait(service.get(), kUninstallStopLimit)) {
    return FileResult::Failure("the service did not stop within 30 seconds");
  }
  if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
    return LastError();
  }
  return FileResult::Success();
}

bool RunAsService(const std::function<int()>& work, int& exitCode) {
  gWork = &work;
  std::wstring name = win::Wide(kServiceName);
  const SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) return false;
  exitCode = gExitCode;
  return true;
}

WindowsStopRequests::WindowsStopRequests(IEventWait& wait) : console_(wait) {
  gStopWait.store(&wait);
  // A stop that came before the wait was known still ends the first wait at once.
  if (gStopRequested.load()) wait.Wake();
}

WindowsStopRequests::~WindowsStopRequests() {
  gStopWait.store(nullptr);
}

bool WindowsStopRequests::Requested() const {
  return gStopRequested.load() || console_.Requested();
}

}  // namespace tarnwick
