#include "forms/pgm_setup_model.h"

#include "common/numbers.h"
#include "common/text.h"
#include "engine/process_control.h"
#include "forms/form_context.h"
#include "settings/program_settings_checker.h"

namespace tarnwick {

PgmSetupModel::PgmSetupModel(FormContext& context, ProcessControl& control)
    : context_(context), control_(control) {
  pgmNameF.text = ExampleProgramName(control.lookup().executableSuffix());
}

void PgmSetupModel::Form_Load() {
  context_.CenterForm(geometry);
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
  if (const std::optional<std::string> chosen = context_.PickSoundFile()) {
    pgmFileSoundF.text = *chosen;
  }
}

class PgmSetupModel::Report final : public ISettingCheckReport {
 public:
  explicit Report(FormContext& context) : context_(context) {}
  void Refuse(std::string_view setting, const std::string& message) override {
    context_.TellRefusal(setting, message);
  }
  bool Ask(std::string_view setting, const std::string& message) override {
    return context_.AskYesNo(setting, message);
  }

 private:
  FormContext& context_;
};

void PgmSetupModel::pgmSave_Click() {
  const ProgramSettingEntries entries{
      pgmMonitorF.value != 0, pgmKillF.value != 0, pgmSoundF.value != 0, pgmNameF.text,
      pgmCPUsetF.text,        pgmMEMsetF.text,     pgmAlertSetF.text,    pgmFileSoundF.text};
  Report report(context_);
  // A refused Save changes nothing in force: the new values come only once they are in the file.
  if (!CheckProgramSettings(entries, report)) return;
  ProgramSettings s = control_.programSettings();
  EnterProgramSettings(entries, s);
  // A file that was not written leaves the dialog open with the user's entries.
  if (!control_.ApplyProgramSettings(s, context_.ui())) return;
  Unload();
}

}  // namespace tarnwick
