// Platform services for the benchmarks: no desktop, no sound, and the real machine's facts with
// the program and log folders in a folder of the run.
#pragma once

#include <string>
#include <utility>

#include "headless/collecting_ui.h"
#include "platform/linux/linux_system_info.h"
#include "platform/sound_player.h"

namespace tarnwick::bench {

// No desktop: every question gets its default answer.
using QuietUi = CollectingUi;

class NoSound final : public ISoundPlayer {
 public:
  void PlayWav(const std::string&) override {}
};

// The machine's facts, with the program and log folders in `folder`.
class BenchSystemInfo final : public ISystemInfo {
 public:
  explicit BenchSystemInfo(std::string folder) : folder_(std::move(folder)) {}
  int ProcessorCount() override { return real_.ProcessorCount(); }
  std::string ComputerName() override { return real_.ComputerName(); }
  std::string ProgramFolder() override { return folder_; }
  std::string LogFolder() override { return folder_ + "/monitor_log"; }
  std::string PathSeparator() override { return real_.PathSeparator(); }
  std::string ExecutableSuffix() override { return real_.ExecutableSuffix(); }
  std::string OwnExecutableName() override { return real_.OwnExecutableName(); }
  int OwnProcessId() override { return real_.OwnProcessId(); }
  bool EnsureFolder(const std::string& path) override { return real_.EnsureFolder(path); }
  void RaisePriority() override { real_.RaisePriority(); }

 private:
  LinuxSystemInfo real_;
  std::string folder_;
};

}  // namespace tarnwick::bench
