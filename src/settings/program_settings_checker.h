// The checks of a Save of pgmsetting.ini, and what the entries become in the program settings.
#pragma once

#include <string>

#include "settings/check_report.h"
#include "settings/program_settings.h"

namespace tarnwick {

// What the program monitor's Save takes, as typed (nothing trimmed), under the settings' names.
struct ProgramSettingEntries {
  bool pgmMonitorF = false;
  bool pgmKillF = false;
  bool pgmSoundF = false;
  std::string pgmNameF, pgmCPUsetF, pgmMEMsetF, pgmAlertSetF, pgmFileSoundF;
};

// The entries as the settings hold them: the name trimmed and in lower case, the numbers read
// with "." or "," as the decimal point (a box that reads as no number, or as none that fits,
// keeps the setting), the sound file trimmed, switches as 0 or 1.
void EnterProgramSettings(const ProgramSettingEntries& entries, ProgramSettings& settings);

// Checks the thresholds and the alert count, whether or not the monitor is switched on; every
// failure is reported. True when all passed.
bool CheckProgramSettings(const ProgramSettingEntries& entries, ISettingCheckReport& report);

}  // namespace tarnwick
