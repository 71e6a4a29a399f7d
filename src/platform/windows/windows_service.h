// tarnwickd.exe as the Windows service "Tarnwick": its registration with the Service Control
// Manager (a service of its own process, started automatically, restarted after a failure), its
// run under the manager, and the manager's stop and shutdown as requests to end.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event_wait.h"
#include "platform/file_system.h"
#include "platform/termination_requests.h"
#include "platform/windows/windows_console_requests.h"

namespace tarnwick {

inline constexpr std::string_view kServiceName = "Tarnwick";
inline constexpr std::string_view kServiceDisplayName = "Tarnwick system-load monitor";
inline constexpr std::string_view kServiceDescription =
    "Watches the machine's CPU and memory, sends alerts when they stay high, and may terminate "
    "the process on top under its kill rules.";

// The accounts the service may run as. LocalService cannot end other users' processes.
enum class ServiceAccount { LocalService, LocalSystem };
inline constexpr std::string_view kLocalServiceAccount = "NT AUTHORITY\\LocalService";
inline constexpr std::string_view kLocalSystemAccount = "LocalSystem";

struct ServiceSetup {
  // tarnwickd.exe's path (UTF-8); empty: the running executable.
  std::string program;
  // The arguments the manager starts it with.
  std::vector<std::string> arguments;
  ServiceAccount account = ServiceAccount::LocalService;
};

// The manager's command line for the service: the program's path in quotes, then the arguments,
// each quoted where it needs it by the rules of CommandLineToArgvW.
std::string ServiceCommandLine(const ServiceSetup& setup);
// One argument as CommandLineToArgvW reads it back unchanged (in quotes only when it is empty or
// holds a blank or a quote).
std::string QuoteArgument(std::string_view argument);

// Registers the service, or brings a registered one up to this setup (path, folders, account);
// sets its description and its recovery (restart after 1 minute, three times a day). Needs an
// administrator. The reason when the manager refused.
FileResult InstallService(const ServiceSetup& setup);
// Stops the service when it runs (waiting up to 30 s) and removes it. Removing a service that is
// not there succeeds; `wasInstalled` tells which it was.
FileResult UninstallService(bool* wasInstalled = nullptr);

// Runs `work` as the service, when the manager started this process: reports SERVICE_RUNNING at
// once (before the work loads anything), turns STOP and SHUTDOWN into a request that
// ServiceStopRequests reports, PARAMCHANGE into RequestSettingsReload, and SERVICE_STOPPED with
// the work's exit code once it returns.
// False (and `work` not run) when the manager did not start this process.
bool RunAsService(const std::function<int()>& work, int& exitCode);

// The requests to end a program without a window on Windows: the console's events (Ctrl+C,
// close, logoff, shutdown) and, under the manager, its stop and shutdown controls. The loop's
// wait is woken by each. One instance per process.
class WindowsStopRequests final : public ITerminationRequests {
 public:
  explicit WindowsStopRequests(IEventWait& wait);
  ~WindowsStopRequests() override;
  WindowsStopRequests(const WindowsStopRequests&) = delete;
  WindowsStopRequests& operator=(const WindowsStopRequests&) = delete;

  bool Requested() const override;

 private:
  WindowsConsoleRequests console_;
};

}  // namespace tarnwick
