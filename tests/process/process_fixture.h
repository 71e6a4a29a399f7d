// A main window model on fake services with process control: a killer that records what it is
// asked to terminate, and a dispatcher that records the alerts it is handed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/process_control.h"
#include "forms/main_window_model.h"
#include "platform/process_killer.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {

class RecordingKiller final : public IProcessKiller {
 public:
  struct Call {
    int pid;
    uint64_t startTicks;
  };
  std::vector<Call> calls;
  bool result = true;  // what every termination reports

  bool KillProcess(int pid, uint64_t startTicks) override {
    calls.push_back({pid, startTicks});
    return result;
  }
};

class ProcessFixture : public ModelFixture {
 protected:
  RecordingKiller killer;
  RecordingAlertSender sender;

  void SetUp() override {
    ModelFixture::SetUp();
    UseProcessControl();
  }

  // Rebuilds the window with process control, for instance after the test changed the system's
  // executable suffix.
  void UseProcessControl(IProcessLister* lister = nullptr) {
    DeskDeps deps{clock, ui, system, cpu, memory, lister ? *lister : processes, sound, files};
    deps.processKiller = &killer;
    Build(deps);
    seen = 0;
  }

  ProcessControl& control() { return *engine->processControl(); }

  // pgmsetting.ini in the program folder, lines as given (each ended by CR LF).
  void WriteProgramSettings(const std::vector<std::string>& lines) {
    std::string content;
    for (const std::string& line : lines) content += line + "\r\n";
    WriteFile(system.programFolder + "/pgmsetting.ini", content);
  }

  // Loads the window logged in with alerts on and credits left, alerts going to `sender`.
  void LoadLoggedIn() {
    model->OnLoad();
    engine->session.loggedIn = true;
    engine->settings.Enable_alert = 1;
    engine->settings.smsPhone = "+1 5550100";
    engine->session.credits = "25";
    engine->SetAlertSender(&sender);
    Messages();
  }

  std::vector<std::string> SentTexts() const {
    std::vector<std::string> out;
    for (const auto& s : sender.sent) out.push_back(s.message);
    return out;
  }
};

}  // namespace tarnwick::testing
