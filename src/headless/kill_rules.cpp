#include "headless/kill_rules.h"

#include "settings/settings_file.h"
#include "settings/settings_store.h"

namespace tarnwick {

bool KillRuleOn(const Settings& settings, const ProgramSettings* program) {
  return settings.KillProc != 0 || (program != nullptr && program->pgmKillF != 0);
}

bool KillRuleInFiles(IFileSystem& files, const std::string& settingsFolder,
                     const std::string& separator) {
  Settings settings;
  const FileReadResult setting = files.ReadFile(
      SettingsStore(files, settingsFolder, separator).SettingPath(), kSettingsFileLimit);
  if (setting.status == FileReadStatus::Ok) ParseSettingFile(setting.content, settings);
  ProgramSettings program;
  const FileReadResult pgm = files.ReadFile(
      settingsFolder + separator + std::string(kProgramSettingFileName), kSettingsFileLimit);
  if (pgm.status == FileReadStatus::Ok) ParseProgramSettingFile(pgm.content, program);
  return KillRuleOn(settings, &program);
}

}  // namespace tarnwick
