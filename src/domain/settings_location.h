// Where the settings files live. Beside the program while that folder is the user's to write (a
// copied or portable folder; files there are never moved), else in the user's configuration
// folder: an installed program's folder belongs to the package manager.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Written to the log at start, followed by the folder.
inline constexpr std::string_view kSettingsFolderLine = "Settings folder: ";
// Name of the program's folder inside the configuration folder.
inline constexpr std::string_view kConfigFolderName = "tarnwick";
// Name of the program's folder inside the user's application data folder on Windows.
inline constexpr std::string_view kAppDataFolderName = "Tarnwick";

struct SettingsPlaceFacts {
  std::string programFolder;
  // The current user may create and replace files in the program's folder, and it is not a
  // system location.
  bool programFolderWritable = false;
  // $XDG_CONFIG_HOME as set (it counts only when it is an absolute path) and the home folder.
  std::string configHome;
  std::string home;
  // %APPDATA% on Windows (it counts only when it is an absolute path: "C:\\..." or
  // "\\\\server\\..."); empty elsewhere.
  std::string appData;
};

// The settings folder for these facts; the program's folder when no other place can be named.
std::string ChooseSettingsFolder(const SettingsPlaceFacts& facts);

// The folders of the installed server program, those its systemd unit names.
inline constexpr std::string_view kServerSettingsFolder = "/etc/tarnwick";
inline constexpr std::string_view kServerLogFolder = "/var/log/tarnwick";

struct ServerFolderFacts {
  // The effective user is root.
  bool root = false;
  // The folder of the running executable, and the folder the build installs it to
  // (CMAKE_INSTALL_PREFIX/TARNWICK_INSTALL_DIR, "/usr/lib/tarnwick" for the packages).
  std::string programFolder;
  std::string installFolder;
  // --settings-dir and --log-dir as given; empty when not given.
  std::string settingsFolder;
  std::string logFolder;
};

struct ServerFolders {
  // Empty: the folder of the rule for everyone else (ChooseSettingsFolder, the home's logs).
  std::string settingsFolder;
  std::string logFolder;
};

// Root running the installed program is the server: a folder not given on the command line is
// the server's. Anyone else, or a copy of the program outside the install folder, gets exactly
// the folders given.
ServerFolders ChooseServerFolders(const ServerFolderFacts& facts);

}  // namespace tarnwick
