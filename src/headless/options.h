// The command line of tarnwickd: help, version, the folders of a system service, the metrics
// endpoint, the settings commands, and the history options (carried out by the history's own
// command line); anything else is an error.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "domain/listen_address.h"

namespace tarnwick {

inline constexpr std::string_view kHeadlessProgramName = "tarnwickd";

struct HeadlessOptions {
  // InstallService and UninstallService exist on Windows only.
  enum class Action {
    Run,
    Help,
    Version,
    ShowSettings,
    SetSettings,
    Error,
    InstallService,
    UninstallService
  };
  Action action = Action::Run;
  // The offending argument when action is Error.
  std::string badArgument;
  // The whole error line when the option itself was known but its value was not (otherwise
  // HeadlessOptionError(badArgument) tells).
  std::string error;
  // --settings-dir DIR and --log-dir DIR (a system service keeps its settings in /etc/tarnwick
  // and its logs in /var/log/tarnwick); empty: the desktop program's places, or for root running
  // the installed program those of the service (ChooseServerFolders).
  std::string settingsFolder;
  std::string logFolder;
  // --history, --export-history FILE and --since DURATION as given, for the history.
  std::vector<std::string> historyArgs;
  // --metrics-listen ADDR: serve the metrics there while running.
  std::optional<ListenAddress> metricsListen;
  // --show-settings NAME...: only these, in this order; empty: every setting.
  std::vector<std::string> shownNames;
  // --set NAME=VALUE ... as given, and the names of --set-password NAME, in order; those of
  // --set-password NAME --empty are cleared on purpose instead, and nothing is read for them.
  std::vector<std::string> assignments;
  std::vector<std::string> passwordNames;
  std::vector<std::string> emptyPasswords;
  // --detailed-exitcodes: a --set that changed a file exits with kSettingsChangedExit, not 0.
  bool detailedExitCodes = false;
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
// The version alone ("4.3").
std::string HeadlessVersionNumber();
// The line standard error gets before the usage for a wrong argument.
std::string HeadlessOptionError(const std::string& badArgument);

}  // namespace tarnwick
