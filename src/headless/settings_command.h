// tarnwickd --show-settings and --set: a server configured from the command line. Every value
// goes through the settings dialogs themselves, as if each dialog concerned had been opened, the
// named boxes typed into and Save clicked: the same checks with the same messages, one per failed
// check, and the same store writing the files (scrambled passwords, owner-only, replaced whole).
// Nothing is written unless every dialog concerned accepts its Save.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "platform/file_system.h"
#include "platform/password_input.h"
#include "platform/system_info.h"

namespace tarnwick {

// What a command prints and its exit status: 0 done, 1 refused or not written, 2 a command line
// that names no setting.
struct SettingsCommandResult {
  int exitCode = 0;
  std::string out;
  std::string err;
};

// Shown in place of a password's value.
inline constexpr std::string_view kPasswordSet = "(set)";
inline constexpr std::string_view kPasswordUnset = "(unset)";
// The line for each file written.
inline constexpr std::string_view kSavedLine = "Saved ";

class SettingsCommand {
 public:
  // The files are those of system.SettingsFolder() (the folder --settings-dir names).
  SettingsCommand(IFileSystem& files, ISystemInfo& system, IClock& clock);

  // Every setting of setting.ini, smtpsvr.ini and pgmsetting.ini as "NAME=VALUE", one per line,
  // under a "# " line naming each file; the values the program would run with (a missing file
  // gives the values of a first start). Exit 1 when a file could not be read.
  SettingsCommandResult Show();

  // `assignments` are "NAME=VALUE"; each name of `passwordNames` is read from `input`, in order,
  // once every name is known to be a setting.
  SettingsCommandResult Set(const std::vector<std::string>& assignments,
                            const std::vector<std::string>& passwordNames, IPasswordInput& input);

 private:
  IFileSystem& files_;
  ISystemInfo& system_;
  IClock& clock_;
};

}  // namespace tarnwick
