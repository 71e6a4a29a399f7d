// Facts about this machine and this program that the platform knows.
#pragma once

#include <string>

namespace tarnwick {

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;
  // Processors this process may run on (from its affinity mask); at least 1.
  virtual int ProcessorCount() = 0;
  // The computer's name; empty when it cannot be read.
  virtual std::string ComputerName() = 0;
  // Folder of the running executable, without a trailing separator. Settings, icons and sounds
  // live there.
  virtual std::string ProgramFolder() = 0;
  // Folder of setting.ini, smtpsvr.ini and pgmsetting.ini: the program's folder while it is the
  // user's to write, else the user's configuration folder (or the folder the command line named).
  virtual std::string SettingsFolder() { return ProgramFolder(); }
  // Folder of the daily log files ($HOME/monitor_log on Linux, c:\monitor_log on Windows).
  virtual std::string LogFolder() = 0;
  // Path separator of the platform ("/" or "\").
  virtual std::string PathSeparator() = 0;
  // Suffix of executable names: "" on Linux, ".exe" on Windows.
  virtual std::string ExecutableSuffix() = 0;
  // The program's own executable name without the suffix ("tarnwick").
  virtual std::string OwnExecutableName() = 0;
  // This process's id: with its start time, the one identity a rule may exempt as this program
  // (another process may carry the program's name, never its pid while it runs).
  virtual int OwnProcessId() = 0;
  // Creates the folder and its parents; false when it does not exist afterwards.
  virtual bool EnsureFolder(const std::string& path) = 0;
  // Raises the priority of the process and of the calling thread; a refusal is ignored.
  virtual void RaisePriority() = 0;
};

}  // namespace tarnwick
