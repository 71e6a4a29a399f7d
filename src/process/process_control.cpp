#include "process/process_control.h"

#include "monitor/main_window_model.h"
#include "settings/settings_store.h"

namespace tarnwick {
namespace {

constexpr std::string_view kDefaultProgramSound = "alert1.wav";

}  // namespace

ProcessControl::ProcessControl(MainWindowModel& window, IProcessKiller& killer)
    : window_(window),
      lookup_(window.deps().processes, window.deps().system.ExecutableSuffix()),
      topKiller_(
          window.settings, lookup_, killer, window.log(),
          window.deps().system.OwnExecutableName() + window.deps().system.ExecutableSuffix()),
      monitor_(window, settings_, lookup_, killer),
      pgmSetup_(*this) {}

std::string ProcessControl::ProgramSettingPath() const {
  ISystemInfo& system = window_.deps().system;
  return system.SettingsFolder() + system.PathSeparator() + std::string(kProgramSettingFileName);
}

void ProcessControl::LoadProgramSettings() {
  const std::optional<std::string> content = ReadWholeFile(ProgramSettingPath());
  if (content) {
    ParseProgramSettingFile(*content, settings_);
  } else {
    ISystemInfo& system = window_.deps().system;
    ApplyMissingFileDefaults(
        settings_, system.ExecutableSuffix(),
        system.ProgramFolder() + system.PathSeparator() + std::string(kDefaultProgramSound));
    monitor_.ClearAlertFlags();
  }
  ShowProgramLabels();
}

bool ProcessControl::SaveProgramSettings() {
  return WriteFileAtomically(ProgramSettingPath(), FormatProgramSettingFile(settings_));
}

void ProcessControl::ShowProgramLabels() {
  tarnwick::ShowProgramLabels(settings_, window_);
}

}  // namespace tarnwick
