// The engine and the main window model on fake platform services: 4 processors, 10,000 MiB of
// memory, a clock at 2026-12-04 10:15:07, and a first run (no settings files) in a temporary
// program folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/main_window_model.h"
#include "settings/settings_store.h"
#include "support/desk.h"
#include "support/fake_file_system.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {

inline constexpr int64_t kMiB = 1024 * 1024;

class RecordingAlertSender final : public IAlertSender {
 public:
  struct Sent {
    std::string recipients;
    std::string message;
  };
  std::vector<Sent> sent;
  DispatchOutcome SendAlert(const std::string& recipients, std::string& message) override {
    sent.push_back({recipients, message});
    return DispatchOutcome::Sent;
  }
};

class ModelFixture : public ::testing::Test {
 protected:
  FakeClock clock;
  RecordingUi ui;
  FakeSystemInfo system;
  FakeCpuCounters cpu;
  FakeMemory memory;
  FakeProcessLister processes{clock};
  RecordingSound sound;
  FakeFileSystem files;
  FakeUrlTransport transport;
  RecordingLauncher launcher;
  TempDir dir;
  std::unique_ptr<Desk> desk;
  Engine* engine = nullptr;
  MainWindowModel* model = nullptr;
  size_t seen = 0;

  void SetUp() override {
    system.programFolder = dir / "prog";
    system.logFolder = dir / "log";
    system.suffix = "";  // Linux names; cases that need ".exe" set it
    std::filesystem::create_directories(system.programFolder);
    std::filesystem::create_directories(system.logFolder);
    memory.total = 10000 * kMiB;
    memory.available = 5000 * kMiB;
    processes.Add(100, "svchost", 40, 200 * kMiB);
    processes.Add(200, "firefox", 160, 1573274ll * 1024);
    Build(DeskDeps{clock, ui, system, cpu, memory, processes, sound, files});
  }

  // Builds the engine and the window on `deps`, in place of the ones before.
  void Build(const DeskDeps& deps) {
    model = nullptr;
    engine = nullptr;
    desk.reset();
    desk = std::make_unique<Desk>(deps);
    engine = &desk->engine;
    model = &desk->form;
  }

  // Rebuilds the engine and the window on the fakes, with whatever `adjust` adds to their
  // services.
  void Rebuild(const std::function<void(DeskDeps&)>& adjust) {
    DeskDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    adjust(deps);
    Build(deps);
  }

  // Rebuilds the window with the web service transport and the mailer launcher, so alerts go
  // out through the alert delivery.
  void UseDelivery() {
    Rebuild([this](DeskDeps& deps) {
      deps.urlTransport = &transport;
      deps.mailerLauncher = &launcher;
    });
  }

  // Stores setting.ini in the program folder, as a saved dialog would.
  void WriteSettings(const Settings& s) {
    WriteFile(system.programFolder + "/setting.ini", FormatSettingFile(s));
  }

  // Loads the window and takes the watch settings of the cases: thresholds 75% and 85%, three
  // samples to an alert.
  void Load() {
    model->OnLoad();
    engine->settings.cpu_High = "75";
    engine->settings.mem_High = "85";
    engine->settings.num_High = "3";
    Messages();
  }

  // One monitor cycle with the given CPU and memory percentages, then 5 s pass.
  void Cycle(int cpuPercent, int memPercent, int seconds = 5) {
    cpu.busy.push_back(cpuPercent);
    memory.available = (10000 - memPercent * 100) * kMiB;
    engine->Monitor();
    clock.Advance(seconds);
  }

  // Log messages written since the last call, oldest first, without their time stamps.
  std::vector<std::string> Messages() {
    const auto& pane = engine->log().PaneLines();
    const size_t fresh = engine->log().LinesWritten() - seen;
    seen = engine->log().LinesWritten();
    std::vector<std::string> out;
    for (size_t i = fresh; i-- > 0;) {
      const std::string& line = pane[i];
      out.push_back(line.size() > 22 && line[19] == ' ' ? line.substr(22) : line);
    }
    return out;
  }
};

}  // namespace tarnwick::testing

namespace tarnwick {
using testing::DeskDeps;
}  // namespace tarnwick
