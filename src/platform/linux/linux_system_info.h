// Facts about this machine and this program on Linux.
#pragma once

#include <string>
#include <utility>

#include "platform/system_info.h"

namespace tarnwick {

class LinuxSystemInfo final : public ISystemInfo {
 public:
  // `ownName`: the name of the program's own executable ("tarnwick", "tarnwickd").
  explicit LinuxSystemInfo(std::string ownName = "tarnwick") : ownName_(std::move(ownName)) {}

  // sched_getaffinity's CPU_COUNT, at least 1.
  int ProcessorCount() override;
  // gethostname; empty when it fails.
  std::string ComputerName() override;
  // Folder of /proc/self/exe.
  std::string ProgramFolder() override;
  // $HOME/monitor_log, or the passwd entry's home when HOME is unset or empty.
  std::string LogFolder() override;
  std::string PathSeparator() override { return "/"; }
  std::string ExecutableSuffix() override { return ""; }
  std::string OwnExecutableName() override { return ownName_; }
  // mkdir -p with mode 0755.
  bool EnsureFolder(const std::string& path) override;
  // setpriority(-10) for the process and the calling thread; refusals are ignored.
  void RaisePriority() override;

 private:
  std::string ownName_;
};

}  // namespace tarnwick
