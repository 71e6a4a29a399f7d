#include "engine/process_control.h"

#include "engine/engine.h"
#include "settings/settings_recheck.h"

namespace tarnwick {
namespace {

constexpr std::string_view kDefaultProgramSound = "alert1.wav";

}  // namespace

ProcessControl::ProcessControl(Engine& engine, IProcessKiller& killer)
    : engine_(engine),
      lookup_(engine.deps().processes, engine.deps().system.ExecutableSuffix()),
      topKiller_(engine.settings, lookup_, killer, engine.log(), engine.OwnExecutable(),
                 engine.deps().system.OwnProcessId()),
      monitor_(engine, settings_, lookup_, killer),
      file_(engine.deps().files, ProgramSettingPath()) {}

std::string ProcessControl::ProgramSettingPath() const {
  ISystemInfo& system = engine_.deps().system;
  return system.SettingsFolder() + system.PathSeparator() + std::string(kProgramSettingFileName);
}

void ProcessControl::LoadProgramSettings() {
  const SettingsFile::Loaded loaded = file_.Load();
  for (const std::string& notice : loaded.notices) {
    engine_.ReportFailure(FailureResult::Kind::SettingsFile, notice);
  }
  if (loaded.content) {
    ParseProgramSettingFile(*loaded.content, settings_);
  } else {
    ISystemInfo& system = engine_.deps().system;
    ApplyMissingFileDefaults(
        settings_, system.ExecutableSuffix(),
        system.ProgramFolder() + system.PathSeparator() + std::string(kDefaultProgramSound));
    monitor_.ClearAlertFlags();
  }
  engine_.Announce([](IEngineListener& l) { l.OnProgramSettingsInForce(); });
}

std::optional<std::string> ProcessControl::ReloadProgramSettings() {
  const SettingsFile::Loaded loaded = file_.Load();
  if (!loaded.notices.empty()) return loaded.notices.front();
  ProgramSettings fresh = settings_;
  if (loaded.content) {
    ParseProgramSettingFile(*loaded.content, fresh);
  } else {
    ISystemInfo& system = engine_.deps().system;
    ApplyMissingFileDefaults(
        fresh, system.ExecutableSuffix(),
        system.ProgramFolder() + system.PathSeparator() + std::string(kDefaultProgramSound));
  }
  if (std::optional<std::string> refusal = FirstProgramSettingsRefusal(fresh)) return refusal;
  PutInForce(fresh);
  return std::nullopt;
}

void ProcessControl::PutInForce(const ProgramSettings& settings) {
  // Switched on again: its last scan is as old as the pause.
  const bool switchedOn = settings_.pgmMonitorF == 0 && settings.pgmMonitorF != 0;
  if (settings.pgmNameF != settings_.pgmNameF) monitor_.ClearAlertFlags();
  settings_ = settings;
  if (switchedOn) monitor_.ResetSampler();
  engine_.Announce([](IEngineListener& l) { l.OnProgramSettingsInForce(); });
}

bool ProcessControl::ApplyProgramSettings(const ProgramSettings& settings, IUiServices& ui) {
  if (!file_.Save(FormatProgramSettingFile(settings), ui)) return false;
  PutInForce(settings);
  return true;
}

}  // namespace tarnwick
