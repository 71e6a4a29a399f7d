// Process control, owned by the main window: the termination of the top process under the kill
// rules and the program monitor with its settings and dialog. To be completed by the program
// monitor work.
#pragma once

#include <cstdint>
#include <string>

#include "platform/process_killer.h"
#include "process/pgm_setup_model.h"
#include "process/program_monitor_hook.h"
#include "process/top_process_killer.h"

namespace tarnwick {

class MainWindowModel;

class ProcessControl final : public IProgramMonitor, public ITopProcessKiller {
 public:
  ProcessControl(MainWindowModel& window, IProcessKiller& killer);

  // Reads pgmsetting.ini and shows the program monitor's labels (start-up, after the settings).
  void LoadProgramSettings();

  bool Enabled() const override { return false; }
  void MonitorProgram() override {}
  void ResetForStart(bool) override {}
  std::string KillTopProcess(const std::string& history, int16_t killEnabled,
                             KillResults& results) override;

  PgmSetupModel& pgmSETUP() { return pgmSetup_; }

 private:
  MainWindowModel& window_;
  IProcessKiller& killer_;
  PgmSetupModel pgmSetup_;
};

}  // namespace tarnwick
