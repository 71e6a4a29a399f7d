// The settings dialogs' checks, run on values read back from the files: a running program that
// reads its files again takes only what a Save would have taken.
#pragma once

#include <optional>
#include <string>

#include "settings/program_settings.h"
#include "settings/settings.h"

namespace tarnwick {

// The first refusal of the alert settings' and the SMTP server's checks, as "NAME: message"
// (the setting's name in the file), or nothing when every check passes. A check that would ask
// the user counts as answered Yes: whoever wrote the file meant it.
std::optional<std::string> FirstSettingsRefusal(const Settings& settings);

// The same for the program monitor's settings.
std::optional<std::string> FirstProgramSettingsRefusal(const ProgramSettings& settings);

}  // namespace tarnwick
