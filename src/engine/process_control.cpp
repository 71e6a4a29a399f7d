#include "engine/process_control.h"

#include "forms/main_window_model.h"

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
      pgmSetup_(*this),
      file_(window.deps().files, ProgramSettingPath()) {}

std::string ProcessControl::ProgramSettingPath() const {
  ISystemInfo& system = window_.deps().system;
  return system.SettingsFolder() + system.PathSeparator() + std::string(kProgramSettingFileName);
}

void ProcessControl::LoadProgramSettings() {
  const SettingsFile::Loaded loaded = file_.Load();
  for (const std::string& notice : loaded.notices) window_.WriteLog(notice);
  if (loaded.content) {
    ParseProgramSettingFile(*loaded.content, settings_);
  } else {
    ISystemInfo& system = window_.deps().system;
    ApplyMissingFileDefaults(
        settings_, system.ExecutableSuffix(),
        system.ProgramFolder() + system.PathSeparator() + std::string(kDefaultProgramSound));
    monitor_.ClearAlertFlags();
  }
  ShowProgramLabels();
}

bool ProcessControl::SaveProgramSettings(const ProgramSettings& settings) {
  return file_.Save(FormatProgramSettingFile(settings), window_.deps().ui);
}

void ProcessControl::ShowProgramLabels() {
  tarnwick::ShowProgramLabels(settings_, window_);
}

}  // namespace tarnwick
