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
#ifdef _WIN32
    {"--install-service", HeadlessOptions::Action::InstallService},
    {"--uninstall-service", HeadlessOptions::Action::UninstallService},
#endif
};

}  // namespace

// Options followed by a value.
constexpr std::string_view kSettingsDirOption = "--settings-dir";
constexpr std::string_view kLogDirOption = "--log-dir";
constexpr std::string_view kHistoryOptions[] = {"--history"};
constexpr std::string_view kHistoryValueOptions[] = {"--export-history", "--since"};

HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args) {
  HeadlessOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == kSettingsDirOption || arg == kLogDirOption) {
      if (!hasValue || args[i + 1].empty()) {
        options.action = HeadlessOptions::Action::Error;
        options.badArgument = arg;
        return options;
      }
      (arg == kSettingsDirOption ? options.settingsFolder : options.logFolder) = args[++i];
      continue;
    }
#ifdef _WIN32
    if (arg == kServiceRunOption) {
      options.underServiceManager = true;
      continue;
    }
#endif
    bool history = false;
    for (std::string_view name : kHistoryOptions) history = history || arg == name;
    if (history) {
      options.historyArgs.push_back(arg);
      continue;
    }
    for (std::string_view name : kHistoryValueOptions) history = history || arg == name;
    if (history) {
      // A missing value is the history's to report.
      options.historyArgs.push_back(arg);
      if (hasValue) options.historyArgs.push_back(args[++i]);
      continue;
    }
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
         " [--help] [--version] [--settings-dir DIR] [--log-dir DIR]\n"
         "       " +
         std::string(kHeadlessProgramName) +
         " --history [--since DURATION] | --export-history FILE.csv [--since DURATION]\n"
         "Tarnwick without a window: monitors CPU and memory with the settings files beside the\n"
         "program, sends alerts, and prints every log line to standard output.\n"
         "Ctrl+C or SIGTERM ends it.\n"
         "\n"
         "  -h, --help     print this text and exit\n"
         "  --version      print the version and exit\n"
         "  --settings-dir DIR  keep setting.ini, smtpsvr.ini and pgmsetting.ini in DIR\n"
         "  --log-dir DIR  write the daily logs (and the usage history) in DIR\n"
         "  --history      print the usage history's top processes and events, then exit\n"
         "  --export-history FILE.csv  write the history's samples as CSV, then exit\n"
         "  --since DURATION  the span of the history (90m, 6h, 2d, 1w; default 1d)\n"
#ifdef _WIN32
         "  --install-service  register (or update) the Windows service \"Tarnwick\", started\n"
         "                 automatically, with the folders given (default %ProgramData%\\Tarnwick\n"
         "                 and its logs folder); an administrator's command\n"
         "  --uninstall-service  stop and remove the service; its settings and logs stay\n"
         "  --service      run as the service (its command line, for the Service Control Manager)\n"
#endif
      ;
}

std::string HeadlessVersion() {
  return std::string(kHeadlessProgramName) + " (Tarnwick) " + TARNWICK_VERSION + "\n";
}

std::string HeadlessOptionError(const std::string& badArgument) {
  if (badArgument == kSettingsDirOption || badArgument == kLogDirOption) {
    return std::string(kHeadlessProgramName) + ": option '" + badArgument + "' needs a folder\n";
  }
  return std::string(kHeadlessProgramName) + ": unknown option '" + badArgument + "'\n";
}

}  // namespace tarnwick
