// tarnwickd.exe's commands for the Windows service: --install-service registers it (or brings it
// up to date) with its folders, its account and the Event Log's source; --uninstall-service stops
// and removes it and leaves the settings and logs where they are.
#pragma once

#include "headless/options.h"

namespace tarnwick {

// The service's folders where the command line named none: %ProgramData%\Tarnwick for the
// settings and its "logs" folder for the daily logs and the usage history.
void UseServiceFolders(HeadlessOptions& options);

// Each prints what it did on standard output, or the reason on standard error, and returns the
// program's exit code (0, or 1 when the system refused).
int InstallServiceCommand(HeadlessOptions options);
int UninstallServiceCommand();

}  // namespace tarnwick
