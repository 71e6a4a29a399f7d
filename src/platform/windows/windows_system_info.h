// Facts about this machine and this program on Windows.
#pragma once

#include <string>
#include <utility>

#include "platform/system_info.h"

namespace tarnwick {

class WindowsSystemInfo final : public ISystemInfo {
 public:
  // `ownName`: the name of the program's own executable without ".exe".
  explicit WindowsSystemInfo(std::string ownName = "tarnwick") : ownName_(std::move(ownName)) {}

  // Bits of GetProcessAffinityMask's process mask, at least 1.
  int ProcessorCount() override;
  // GetComputerNameW in UTF-8; empty when it fails.
  std::string ComputerName() override;
  // Folder of GetModuleFileNameW in UTF-8.
  std::string ProgramFolder() override;
  // The program's folder; for the desktop program (SetUserSettingsFallback) only while the user
  // may create files there and it is not under Program Files, else %APPDATA%\Tarnwick.
  std::string SettingsFolder() override;
  std::string LogFolder() override { return "c:\\monitor_log"; }
  std::string PathSeparator() override { return "\\"; }
  std::string ExecutableSuffix() override { return ".exe"; }
  std::string OwnExecutableName() override { return ownName_; }
  // Creates the folder and its parents (UTF-8 path).
  bool EnsureFolder(const std::string& path) override;
  // High priority class for the process, highest priority for the calling thread.
  void RaisePriority() override;

  // The desktop program keeps its settings in the user's application data when its own folder
  // is not the user's to write (an installed program); a service keeps them beside itself.
  void SetUserSettingsFallback(bool on) { userSettingsFallback_ = on; }

 private:
  std::string ownName_;
  bool userSettingsFallback_ = false;
};

}  // namespace tarnwick
