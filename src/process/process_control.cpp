#include "process/process_control.h"

#include "monitor/main_window_model.h"
#include "process/history_tally.h"

namespace tarnwick {

ProcessControl::ProcessControl(MainWindowModel& window, IProcessKiller& killer)
    : window_(window), killer_(killer) {}

void ProcessControl::LoadProgramSettings() {
  window_.Label6[0].caption = window_.Label6[2].caption = "No program monitored";
}

std::string ProcessControl::KillTopProcess(const std::string& history, int16_t,
                                           KillResults& results) {
  results.killTried = false;
  results.killFailFirst = false;
  return TallyHistory(history).text;
}

}  // namespace tarnwick
