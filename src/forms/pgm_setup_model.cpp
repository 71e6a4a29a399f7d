#include "forms/pgm_setup_model.h"

#include "common/numbers.h"
#include "common/text.h"
#include "forms/main_window_model.h"
#include "engine/process_control.h"

namespace tarnwick {
namespace {

// A 16-bit setting from a box; a box that does not read as a whole 16-bit number keeps it.
void TakeInt16(const std::string& text, int16_t& setting) {
  if (const std::optional<double> number = ReadProgramNumber(text)) {
    if (const std::optional<int16_t> whole = ToInt16(*number)) setting = *whole;
  }
}

}  // namespace

PgmSetupModel::PgmSetupModel(ProcessControl& control) : control_(control) {
  pgmNameF.text = ExampleProgramName(control.lookup().executableSuffix());
}

void PgmSetupModel::Form_Load() {
  control_.window().CenterForm(geometry);
  const ProgramSettings& s = control_.programSettings();
  pgmMonitorF.value = s.pgmMonitorF != 0 ? 1 : 0;
  pgmNameF.text = s.pgmNameF;
  pgmCPUsetF.text = IntText(s.pgmCPUsetF);
  pgmMEMsetF.text = ShortestForm(s.pgmMEMsetF);
  pgmAlertSetF.text = IntText(s.pgmAlertSetF);
  pgmKillF.value = s.pgmKillF != 0 ? 1 : 0;
  pgmSoundF.value = s.pgmSoundF != 0 ? 1 : 0;
  pgmFileSoundF.text = s.pgmFileSoundF;
  // The kill and sound boxes only mean something while the monitor is on.
  pgmKillF.enabled = pgmSoundF.enabled = pgmMonitorF.value != 0;
}

void PgmSetupModel::pgmMonitorF_Click() {
  if (pgmMonitorF.value == 0) pgmKillF.value = pgmSoundF.value = 0;
  pgmKillF.enabled = pgmSoundF.enabled = pgmMonitorF.value != 0;
}

void PgmSetupModel::pgmNameF_Click() {
  if (Contains(pgmNameF.text, kExampleMarker)) pgmNameF.text.clear();
}

void PgmSetupModel::pgmSelectMusic_Click() {
  if (const std::optional<std::string> chosen = control_.window().PickSoundFile()) {
    pgmFileSoundF.text = *chosen;
  }
}

void PgmSetupModel::pgmSave_Click() {
  // The new values come into force only once they are in the file.
  ProgramSettings s = control_.programSettings();
  // Switched on again: its last scan is as old as the pause.
  const bool switchedOn = s.pgmMonitorF == 0 && pgmMonitorF.value != 0;
  s.pgmMonitorF = pgmMonitorF.value;
  const std::string name = ToLower(Trim(pgmNameF.text));
  s.pgmNameF = name;
  TakeInt16(pgmCPUsetF.text, s.pgmCPUsetF);
  if (const std::optional<double> mem = ReadProgramNumber(pgmMEMsetF.text)) s.pgmMEMsetF = *mem;
  TakeInt16(pgmAlertSetF.text, s.pgmAlertSetF);
  s.pgmKillF = pgmKillF.value;
  s.pgmSoundF = pgmSoundF.value;
  s.pgmFileSoundF = TrimCopy(pgmFileSoundF.text);
  // A file that was not written leaves the dialog open with the user's entries.
  if (!control_.SaveProgramSettings(s)) return;
  // Another program starts without a back-to-normal notice pending from the last one.
  if (name != control_.programSettings().pgmNameF) control_.programMonitor().ClearAlertFlags();
  control_.programSettings() = s;
  if (switchedOn) control_.programMonitor().ResetSampler();
  control_.ShowProgramLabels();
  Unload();
}

}  // namespace tarnwick
