// Process control, owned by the main window: the termination of the top process under the kill
// rules, and the program monitor with its settings file and its dialog pgmSETUP.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process_killer.h"
#include "forms/pgm_setup_model.h"
#include "engine/process_lookup.h"
#include "engine/program_monitor.h"
#include "engine/program_monitor_hook.h"
#include "settings/program_settings.h"
#include "engine/top_process_killer.h"
#include "settings/settings_file.h"

namespace tarnwick {

class MainWindowModel;

class ProcessControl final : public IProgramMonitor, public ITopProcessKiller {
 public:
  ProcessControl(MainWindowModel& window, IProcessKiller& killer);

  // Reads pgmsetting.ini and shows the program monitor's labels (start-up, after the settings).
  // A missing file gives the defaults and is not created; one that cannot be read gives them
  // too, with the monitor off, and a log line with the reason.
  void LoadProgramSettings();
  // Writes `settings` to pgmsetting.ini, replacing it. False when it was not written (the user
  // declined to replace an unreadable file, or was shown why the write failed).
  bool SaveProgramSettings(const ProgramSettings& settings);
  // Writes the main window's labels of the program monitor from the settings.
  void ShowProgramLabels();
  std::string ProgramSettingPath() const;

  bool Enabled() const override { return settings_.pgmMonitorF != 0; }
  void MonitorProgram() override { monitor_.MonitorProgram(); }
  void ResetForStart(bool fullReset) override { monitor_.ResetForStart(fullReset); }
  std::string KillTopProcess(const TopHistory& history, int16_t killEnabled,
                             KillResults& results) override {
    return topKiller_.KillTopProcess(history, killEnabled, results);
  }

  ProgramSettings& programSettings() { return settings_; }
  ProgramMonitor& programMonitor() { return monitor_; }
  ProcessLookup& lookup() { return lookup_; }
  MainWindowModel& window() { return window_; }
  PgmSetupModel& pgmSETUP() { return pgmSetup_; }

 private:
  MainWindowModel& window_;
  ProgramSettings settings_;
  ProcessLookup lookup_;
  TopProcessKiller topKiller_;
  ProgramMonitor monitor_;
  PgmSetupModel pgmSetup_;
  SettingsFile file_;
};

}  // namespace tarnwick
