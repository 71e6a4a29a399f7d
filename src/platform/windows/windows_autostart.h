// Starting the desktop program with the user's Windows session: the value "Tarnwick" under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, holding the program's quoted
// path. The File menu's item and the installer (through `tarnwick.exe --autostart on|off`) both
// go through this class.
#pragma once

#include <string>
#include <string_view>

#include "platform/autostart.h"

namespace tarnwick {

class WindowsAutostart final : public IAutostart {
 public:
  static constexpr std::string_view kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr std::string_view kValueName = "Tarnwick";

  // `program`: the executable the entry starts (UTF-8); empty: the running executable.
  // `valueName`: the entry's name under the Run key.
  explicit WindowsAutostart(std::string program = {},
                            std::string valueName = std::string(kValueName));

  // The entry exists and starts this program (the path compared as Windows compares names,
  // letter case ignored); an entry of another copy of the program does not count.
  bool IsEnabled() override;
  // Writes the entry (replacing one of another copy) or removes it.
  FileResult SetEnabled(bool on) override;

  // The entry's data: the program's path in double quotes.
  std::string CommandLine() const;
  const std::string& Program() const { return program_; }

 private:
  std::string program_;
  std::string valueName_;
};

}  // namespace tarnwick
