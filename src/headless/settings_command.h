// tarnwickd --show-settings and --set: a server configured from the command line. Every value
// goes through the settings dialogs themselves, as if each dialog concerned had been opened, the
// named boxes typed into and Save clicked: the same checks with the same messages, one per failed
// check, and the same store writing the files (scrambled passwords, owner-only, replaced whole).
// Nothing is written unless every dialog concerned accepts its Save, and a file whose content
// would stay the same is not written at all.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "platform/file_system.h"
#include "platform/password_input.h"
#include "platform/settings_lock.h"
#include "platform/system_info.h"

namespace tarnwick {

// What a command prints and its exit status: 0 done (or nothing to change), 1 refused or not
// written, 2 a command line that names no setting or one twice, kSettingsChangedExit a --set
// with detailed exit codes that wrote a file.
struct SettingsCommandResult {
  int exitCode = 0;
  std::string out;
  std::string err;
};

inline constexpr int kSettingsChangedExit = 3;

// Shown in place of a password's value.
inline constexpr std::string_view kPasswordSet = "(set)";
inline constexpr std::string_view kPasswordUnset = "(unset)";
// The line for each file written, and the one line when every value was stored already.
inline constexpr std::string_view kSavedLine = "Saved ";
inline constexpr std::string_view kUnchangedLine = "Unchanged";
// After a --set that wrote a file, when a tarnwickd runs on the same folder.
inline constexpr std::string_view kRunningInstanceStart = "The running tarnwickd (pid ";
inline constexpr std::string_view kRunningInstanceEnd =
    ") takes the new settings at its next cycle";
// The longest value a setting takes, in bytes. The reader reads the first 64 KiB of a file
// (kSettingsFileLimit); setting.ini, the longest, holds 24 lines, one of them a password stored
// in two bytes per byte: with every value this long the file is still read whole.
inline constexpr size_t kLongestValue = 2048;
// How long a --set waits for another one on the same folder to finish, in milliseconds.
inline constexpr int kLockWaitMilliseconds = 10000;

// One --set: the assignments and passwords of the command line.
struct SettingsChange {
  // "NAME=VALUE" as given.
  std::vector<std::string> assignments;
  // Each read from the password input, in order, once every name is known to be a setting.
  std::vector<std::string> passwordNames;
  // Cleared on purpose (--set-password NAME --empty): nothing is read for them.
  std::vector<std::string> emptyPasswords;
  // Exit kSettingsChangedExit instead of 0 when a file was written.
  bool detailedExitCodes = false;
};

// The settings folder's services from the platform; either may be left empty (no lock is taken,
// no running program is looked for).
struct SettingsFolderServices {
  std::function<std::unique_ptr<HeldSettingsLock>(const std::string& folder, int waitMilliseconds,
                                                  std::string& reason)>
      lock;
  // The pid of a tarnwickd running on the folder, 0 when none does.
  std::function<long(const std::string& folder)> runningInstance;
};

class SettingsCommand {
 public:
  // The files are those of system.SettingsFolder() (the folder --settings-dir names).
  SettingsCommand(IFileSystem& files, ISystemInfo& system, IClock& clock,
                  SettingsFolderServices services = {});

  // Every setting of setting.ini, smtpsvr.ini and pgmsetting.ini as "NAME=VALUE", one per line,
  // under a "# " line naming each file; the values the program would run with (a missing file
  // gives the values of a first start). With `names`, only those, in their order, without the
  // files' lines; a name that is no setting is exit 2 and nothing is shown. Exit 1 when a file
  // could not be read.
  SettingsCommandResult Show(const std::vector<std::string>& names = {});

  // Checks every value as the dialogs do and writes the files whose content changes, holding
  // the folder's lock from the first read to the last write.
  SettingsCommandResult Set(const SettingsChange& change, IPasswordInput& input);

 private:
  IFileSystem& files_;
  ISystemInfo& system_;
  IClock& clock_;
  SettingsFolderServices services_;
};

}  // namespace tarnwick
