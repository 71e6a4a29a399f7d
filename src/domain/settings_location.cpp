#include "domain/settings_location.h"

namespace tarnwick {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsWindowsAbsolute(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  const bool share = path.size() >= 3 && path[0] == '\\' && path[1] == '\\';
  return drive || share;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

std::string ChooseSettingsFolder(const SettingsPlaceFacts& facts) {
  if (facts.programFolderWritable) return facts.programFolder;
  // Windows: the user's roaming application data, as for a program installed under Program
  // Files.
  if (IsWindowsAbsolute(facts.appData)) {
    std::string folder = WithoutTrailingSeparators(facts.appData);
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder + std::string(kAppDataFolderName);
  }
  // The XDG base directory rules ignore a relative $XDG_CONFIG_HOME.
  if (!facts.configHome.empty() && facts.configHome.front() == '/') {
    return WithoutTrailingSlashes(facts.configHome) + "/" + std::string(kConfigFolderName);
  }
  const std::string home = WithoutTrailingSlashes(facts.home);
  if (!home.empty() && home.front() == '/' && home != "/") {
    return home + "/.config/" + std::string(kConfigFolderName);
  }
  return facts.programFolder;
}

ServerFolders ChooseServerFolders(const ServerFolderFacts& facts) {
  ServerFolders folders{facts.settingsFolder, facts.logFolder};
  const std::string program = WithoutTrailingSlashes(facts.programFolder);
  const bool installed = facts.root && !program.empty() && program.front() == '/' &&
                         program == WithoutTrailingSlashes(facts.installFolder);
  if (!installed) return folders;
  if (folders.settingsFolder.empty()) folders.settingsFolder = std::string(kServerSettingsFolder);
  if (folders.logFolder.empty()) folders.logFolder = std::string(kServerLogFolder);
  return folders;
}

}  // namespace tarnwick
