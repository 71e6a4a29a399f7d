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
  // The folder given to SetSettingsFolder; else the program's folder when this user may write it
  // and it is not under /usr; else $XDG_CONFIG_HOME/tarnwick or ~/.config/tarnwick.
  std::string SettingsFolder() override;
  // The folder given to SetLogFolder; else $HOME/monitor_log, or the passwd entry's home when
  // HOME is unset or empty.
  std::string LogFolder() override;
  std::string PathSeparator() override { return "/"; }
  std::string ExecutableSuffix() override { return ""; }
  std::string OwnExecutableName() override { return ownName_; }
  int OwnProcessId() override;
  // mkdir -p with mode 0755.
  bool EnsureFolder(const std::string& path) override;
  // setpriority(-10) for the process and the calling thread; refusals are ignored.
  void RaisePriority() override;

  // Folders named on the command line (a system service keeps its settings in /etc/tarnwick and
  // its logs in /var/log/tarnwick); empty keeps the rule above.
  void SetSettingsFolder(std::string folder) { settingsFolder_ = std::move(folder); }
  void SetLogFolder(std::string folder) { logFolder_ = std::move(folder); }

 private:
  std::string HomeFolder();

  std::string ownName_;
  std::string settingsFolder_;
  std::string logFolder_;
};

}  // namespace tarnwick
