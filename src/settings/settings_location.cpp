#include "settings/settings_location.h"

namespace tarnwick {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string ChooseSettingsFolder(const SettingsPlaceFacts& facts) {
  if (facts.programFolderWritable) return facts.programFolder;
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

}  // namespace tarnwick
