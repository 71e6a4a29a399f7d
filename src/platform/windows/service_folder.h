// The service's own folder, %ProgramData%\Tarnwick (settings) with its logs in "logs": only SYSTEM,
// the Administrators and the service's account may open it, the way /etc/tarnwick and
// /var/log/tarnwick belong to root.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/windows/windows_service.h"

namespace tarnwick {

// %ProgramData%\Tarnwick (the known folder, not the environment); empty when Windows names none.
std::string ServiceSettingsFolder();
// ServiceSettingsFolder() + "\logs".
std::string ServiceLogFolder();

// The DACL of the service's folders: full access for SYSTEM, the Administrators and, for
// LocalService, that account, each inherited by every file and folder inside. The bytes of an
// ACL structure; empty when it could not be built.
std::vector<std::byte> ServiceFolderAcl(ServiceAccount account);

// Creates the folder (its parents when missing) with that DACL, protected (nothing inherited from
// above), or puts it on a folder that exists (an older install, another account); then every
// file and folder inside takes its access from the folder alone, so that the service's account
// may open what another account made.
FileResult PrepareServiceFolder(const std::string& folder, ServiceAccount account);

}  // namespace tarnwick
