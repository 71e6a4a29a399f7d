// Whether a kill rule may have to terminate another user's process. A service gets the right to
// do so only then: CAP_KILL on Linux, the LocalSystem account on Windows (else LocalService).
#pragma once

#include <string>

#include "platform/file_system.h"
#include "settings/program_settings.h"
#include "settings/settings.h"

namespace tarnwick {

// The monitor's termination (KillProc) or the program monitor's (pgmKillF) is on.
bool KillRuleOn(const Settings& settings, const ProgramSettings* program);

// The same from setting.ini and pgmsetting.ini in `settingsFolder`, read by the reading rules
// before anything runs; a missing or unreadable file has no kill rule.
bool KillRuleInFiles(IFileSystem& files, const std::string& settingsFolder,
                     const std::string& separator);

}  // namespace tarnwick
