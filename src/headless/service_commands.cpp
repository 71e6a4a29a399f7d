#include "headless/service_commands.h"

#include <cstdio>
#include <string>

#include "headless/kill_rules.h"
#include "platform/windows/service_folder.h"
#include "platform/windows/windows_event_log.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_service.h"
#include "platform/windows/windows_system_info.h"

namespace tarnwick {
namespace {

constexpr const char* kInstalledStart = "Service Tarnwick installed: runs as ";
constexpr const char* kRemoved = "Service Tarnwick removed; its settings and logs stay";
constexpr const char* kNotInstalled = "Service Tarnwick is not installed";
constexpr const char* kInstallFailed = "tarnwickd: cannot install the service: ";
constexpr const char* kUninstallFailed = "tarnwickd: cannot remove the service: ";

void Print(std::FILE* stream, const std::string& line) {
  std::fputs((line + "\n").c_str(), stream);
  std::fflush(stream);
}

int Failed(const char* start, const std::string& what, const FileResult& result) {
  Print(stderr, start + what + result.reason);
  return 1;
}

}  // namespace

void UseServiceFolders(HeadlessOptions& options) {
  if (options.settingsFolder.empty()) options.settingsFolder = ServiceSettingsFolder();
  if (options.logFolder.empty()) options.logFolder = ServiceLogFolder();
}

int InstallServiceCommand(HeadlessOptions options) {
  UseServiceFolders(options);
  WindowsFileSystem files;
  // LocalSystem only while a kill rule may have to end another user's process.
  const ServiceAccount account = KillRuleInFiles(files, options.settingsFolder, "\\")
                                     ? ServiceAccount::LocalSystem
                                     : ServiceAccount::LocalService;
  for (const std::string& folder : {options.settingsFolder, options.logFolder}) {
    const FileResult prepared = PrepareServiceFolder(folder, account);
    if (!prepared.ok) return Failed(kInstallFailed, folder + ": ", prepared);
  }
  ServiceSetup setup;
  setup.arguments = {std::string(kServiceRunOption), "--settings-dir", options.settingsFolder,
                     "--log-dir", options.logFolder};
  setup.account = account;
  const FileResult installed = InstallService(setup);
  if (!installed.ok) return Failed(kInstallFailed, "", installed);
  const FileResult source = RegisterEventLogSource(RunningExecutablePath());
  if (!source.ok) return Failed(kInstallFailed, "the Event Log source: ", source);
  const std::string accountName(account == ServiceAccount::LocalSystem ? kLocalSystemAccount
                                                                       : kLocalServiceAccount);
  Print(stdout, kInstalledStart + accountName + "; settings in " + options.settingsFolder +
                    ", logs in " + options.logFolder);
  return 0;
}

int UninstallServiceCommand() {
  bool wasInstalled = false;
  const FileResult removed = UninstallService(&wasInstalled);
  if (!removed.ok) return Failed(kUninstallFailed, "", removed);
  const FileResult source = UnregisterEventLogSource();
  if (!source.ok) return Failed(kUninstallFailed, "the Event Log source: ", source);
  Print(stdout, wasInstalled ? kRemoved : kNotInstalled);
  return 0;
}

}  // namespace tarnwick
