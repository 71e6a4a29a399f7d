// The command line of tarnwickd: help, version, the folders of a system service, and the
// history options (carried out by the history's own command line); anything else is an error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

inline constexpr std::string_view kHeadlessProgramName = "tarnwickd";

struct HeadlessOptions {
  // InstallService and UninstallService exist on Windows only.
  enum class Action { Run, Help, Version, Error, InstallService, UninstallService };
  Action action = Action::Run;
  // The offending argument when action is Error.
  std::string badArgument;
  // --settings-dir DIR and --log-dir DIR (a system service keeps its settings in /etc/tarnwick
  // and its logs in /var/log/tarnwick); empty: the desktop program's places.
  std::string settingsFolder;
  std::string logFolder;
  // --history, --export-history FILE and --since DURATION as given, for the history.
  std::vector<std::string> historyArgs;
  // --service (Windows): the Service Control Manager started the program as the service.
  bool underServiceManager = false;
};

// The option of the Windows service's own command line.
inline constexpr std::string_view kServiceRunOption = "--service";

// Reads the arguments after the program's name; the first one that settles the action wins.
HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args);

// What --help prints (and, after an error, standard error): several lines, each ending in "\n".
std::string HeadlessUsage();
// What --version prints: one line ending in "\n".
std::string HeadlessVersion();
// The line standard error gets before the usage for a wrong argument.
std::string HeadlessOptionError(const std::string& badArgument);

}  // namespace tarnwick
