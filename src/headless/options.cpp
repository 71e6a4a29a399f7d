#include "headless/options.h"

#include <utility>

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "4.3"
#endif

namespace tarnwick {

namespace {

// One entry per option; a new option adds a line here and a line to the usage.
struct OptionEntry {
  std::string_view name;
  HeadlessOptions::Action action;
};

constexpr OptionEntry kOptions[] = {
    {"--help", HeadlessOptions::Action::Help},
    {"-h", HeadlessOptions::Action::Help},
    {"--version", HeadlessOptions::Action::Version},
};

}  // namespace

HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args) {
  HeadlessOptions options;
  for (const std::string& arg : args) {
    bool known = false;
    for (const OptionEntry& entry : kOptions) {
      if (arg == entry.name) {
        known = true;
        if (options.action == HeadlessOptions::Action::Run) options.action = entry.action;
      }
    }
    if (!known) {
      options.action = HeadlessOptions::Action::Error;
      options.badArgument = arg;
      return options;
    }
  }
  return options;
}

std::string HeadlessUsage() {
  return std::string("Usage: ") + std::string(kHeadlessProgramName) +
         " [--help] [--version]\n"
         "Tarnwick without a window: monitors CPU and memory with the settings files beside the\n"
         "program, sends alerts, and prints every log line to standard output.\n"
         "Ctrl+C or SIGTERM ends it.\n"
         "\n"
         "  -h, --help     print this text and exit\n"
         "  --version      print the version and exit\n";
}

std::string HeadlessVersion() {
  return std::string(kHeadlessProgramName) + " (Tarnwick) " + TARNWICK_VERSION + "\n";
}

std::string HeadlessOptionError(const std::string& badArgument) {
  return std::string(kHeadlessProgramName) + ": unknown option '" + badArgument + "'\n";
}

}  // namespace tarnwick
