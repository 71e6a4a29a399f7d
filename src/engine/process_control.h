// Process control, owned by the engine: the termination of the top process under the kill rules,
// and the program monitor with its settings file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/process_lookup.h"
#include "engine/program_monitor.h"
#include "engine/program_monitor_hook.h"
#include "engine/top_process_killer.h"
#include "platform/process_killer.h"
#include "platform/ui_services.h"
#include "settings/program_settings.h"
#include "settings/settings_file.h"

namespace tarnwick {

class Engine;

class ProcessControl final : public IProgramMonitor, public ITopProcessKiller {
 public:
  ProcessControl(Engine& engine, IProcessKiller& killer);

  // Reads pgmsetting.ini (start-up, after the settings). A missing file gives the defaults and is
  // not created; one that cannot be read gives them too, with the monitor off, and a log line
  // with the reason.
  void LoadProgramSettings();
  // Writes `settings` to pgmsetting.ini, replacing it, and puts them in force: another program
  // starts without a back-to-normal notice pending from the last one, and a monitor switched on
  // again measures afresh. False when it was not written (the user declined to replace an
  // unreadable file, or was shown why the write failed); nothing changed then.
  bool ApplyProgramSettings(const ProgramSettings& settings, IUiServices& ui);
  // Reads pgmsetting.ini again while the program runs and puts it in force as a Save would.
  // Nothing changes when the file cannot be read or fails the dialog's checks; the answer then
  // says why ("pgmCPUsetF: ..."). A missing file gives the defaults, as at start.
  std::optional<std::string> ReloadProgramSettings();
  std::string ProgramSettingPath() const;

  bool Enabled() const override { return settings_.pgmMonitorF != 0; }
  void MonitorProgram() override { monitor_.MonitorProgram(); }
  void ResetForStart(bool fullReset) override { monitor_.ResetForStart(fullReset); }
  std::string KillTopProcess(const TopHistory& history, int16_t killEnabled,
                             KillResults& results) override {
    return topKiller_.KillTopProcess(history, killEnabled, results);
  }

  const ProgramSettings& programSettings() const { return settings_; }
  // The settings in force, for those who put some in force without a file (tests, pictures).
  ProgramSettings& programSettings() { return settings_; }
  ProgramMonitor& programMonitor() { return monitor_; }
  ProcessLookup& lookup() { return lookup_; }

 private:
  void PutInForce(const ProgramSettings& settings);
  Engine& engine_;
  ProgramSettings settings_;
  ProcessLookup lookup_;
  TopProcessKiller topKiller_;
  ProgramMonitor monitor_;
  SettingsFile file_;
};

}  // namespace tarnwick
