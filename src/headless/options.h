// The command line of tarnwickd. The program takes its settings from the files beside it, so the
// options only ask for help or the version; anything else is an error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

inline constexpr std::string_view kHeadlessProgramName = "tarnwickd";

struct HeadlessOptions {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  // The offending argument when action is Error.
  std::string badArgument;
};

// Reads the arguments after the program's name; the first one that settles the action wins.
HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args);

// What --help prints (and, after an error, standard error): several lines, each ending in "\n".
std::string HeadlessUsage();
// What --version prints: one line ending in "\n".
std::string HeadlessVersion();
// The line standard error gets before the usage for a wrong argument.
std::string HeadlessOptionError(const std::string& badArgument);

}  // namespace tarnwick
