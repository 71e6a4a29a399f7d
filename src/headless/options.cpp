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
constexpr std::string_view kMetricsListenOption = "--metrics-listen";
constexpr std::string_view kShowSettingsOption = "--show-settings";
constexpr std::string_view kSetOption = "--set";
constexpr std::string_view kSetPasswordOption = "--set-password";
constexpr std::string_view kEmptyPasswordOption = "--empty";
constexpr std::string_view kDetailedExitCodesOption = "--detailed-exitcodes";
constexpr std::string_view kSettingsDirOption = "--settings-dir";
constexpr std::string_view kLogDirOption = "--log-dir";
constexpr std::string_view kHistoryOptions[] = {"--history"};
constexpr std::string_view kHistoryValueOptions[] = {"--export-history", "--since"};

namespace {

HeadlessOptions Failed(HeadlessOptions options, const std::string& argument,
                       const std::string& error = {}) {
  options.action = HeadlessOptions::Action::Error;
  options.badArgument = argument;
  options.error = error;
  return options;
}

bool IsOption(const std::string& arg) {
  return arg.rfind("--", 0) == 0;
}

}  // namespace

HeadlessOptions ParseHeadlessOptions(const std::vector<std::string>& args) {
  using Action = HeadlessOptions::Action;
  HeadlessOptions options;
  const std::string program(kHeadlessProgramName);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == kMetricsListenOption) {
      if (!hasValue) {
        return Failed(options, arg, program + ": option '" + arg + "' needs ADDR:PORT or PORT\n");
      }
      options.metricsListen = ParseListenAddress(args[++i]);
      if (!options.metricsListen) {
        return Failed(options, args[i],
                      program + ": --metrics-listen '" + args[i] +
                          "' is not PORT, IPV4:PORT or [IPV6]:PORT (0.0.0.0:PORT for every "
                          "interface)\n");
      }
      continue;
    }
    if (arg == kShowSettingsOption || arg == kSetOption || arg == kSetPasswordOption) {
      const Action wanted = arg == kShowSettingsOption ? Action::ShowSettings : Action::SetSettings;
      if (options.action == Action::ShowSettings || options.action == Action::SetSettings) {
        if (options.action != wanted) {
          return Failed(
              options, arg,
              program + ": --show-settings cannot be combined with --set or " + "--set-password\n");
        }
      } else if (options.action == Action::Run) {
        options.action = wanted;
      }
      if (arg == kShowSettingsOption) {
        while (i + 1 < args.size() && !IsOption(args[i + 1]))
          options.shownNames.push_back(args[++i]);
      } else if (arg == kSetOption) {
        const size_t first = i + 1;
        while (i + 1 < args.size() && !IsOption(args[i + 1]))
          options.assignments.push_back(args[++i]);
        if (i + 1 == first) {
          return Failed(options, arg, program + ": option '--set' needs NAME=VALUE\n");
        }
      } else if (arg == kSetPasswordOption) {
        if (!hasValue || IsOption(args[i + 1])) {
          return Failed(options, arg, program + ": option '--set-password' needs a NAME\n");
        }
        const std::string& name = args[++i];
        if (i + 1 < args.size() && args[i + 1] == kEmptyPasswordOption) {
          options.emptyPasswords.push_back(name);
          ++i;
        } else {
          options.passwordNames.push_back(name);
        }
      }
      continue;
    }
    if (arg == kEmptyPasswordOption) {
      return Failed(options, arg,
                    program +
                        ": option '--empty' follows --set-password NAME, whose password "
                        "it clears\n");
    }
    if (arg == kDetailedExitCodesOption) {
      options.detailedExitCodes = true;
      continue;
    }
    if (arg == kSettingsDirOption || arg == kLogDirOption) {
      if (!hasValue || args[i + 1].empty()) return Failed(options, arg);
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
        if (options.action == Action::Run) options.action = entry.action;
      }
    }
    if (!known) {
      return Failed(options, arg);
    }
  }
  if (options.detailedExitCodes && options.action != Action::SetSettings &&
      options.action != Action::Help && options.action != Action::Version) {
    return Failed(options, std::string(kDetailedExitCodesOption),
                  program + ": option '--detailed-exitcodes' goes with --set or --set-password\n");
  }
  return options;
}

std::string HeadlessUsage() {
  return std::string("Usage: ") + std::string(kHeadlessProgramName) +
         " [--help] [--version] [--settings-dir DIR] [--log-dir DIR]\n"
         "                 [--metrics-listen [ADDR:]PORT]\n"
         "       " +
         std::string(kHeadlessProgramName) +
         " --history [--since DURATION] | --export-history FILE.csv [--since DURATION]\n"
         "       " +
         std::string(kHeadlessProgramName) +
         " --show-settings [NAME...]\n"
         "       " +
         std::string(kHeadlessProgramName) +
         " [--detailed-exitcodes] --set NAME=VALUE... [--set-password NAME [--empty]]\n"
         "Tarnwick without a window: monitors CPU and memory with the settings files beside the\n"
         "program, sends alerts, and prints every log line to standard output.\n"
         "Ctrl+C or SIGTERM ends it.\n"
         "\n"
         "  -h, --help     print this text and exit\n"
         "  --version      print the version and exit\n"
         "  --settings-dir DIR  keep setting.ini, smtpsvr.ini and pgmsetting.ini in DIR\n"
         "  --log-dir DIR  write the daily logs (and the usage history) in DIR\n"
#ifndef _WIN32
         "                 (root running the installed program: /etc/tarnwick and\n"
         "                 /var/log/tarnwick unless given)\n"
#endif
         "  --history      print the usage history's top processes and events, then exit\n"
         "  --export-history FILE.csv  write the history's samples as CSV, then exit\n"
         "  --since DURATION  the span of the history (90m, 6h, 2d, 1w; default 1d)\n"
         "  --metrics-listen [ADDR:]PORT  serve Prometheus metrics on GET /metrics; a port\n"
         "                 alone listens on 127.0.0.1, 0.0.0.0:PORT on every interface\n"
         "  --show-settings [NAME...]  print every setting, or those named, as NAME=VALUE\n"
         "                 (passwords as (set) or (unset))\n"
         "  --set NAME=VALUE...  check the values as the settings dialogs do, then save them;\n"
         "                 values equal to the stored ones print Unchanged and write nothing\n"
         "  --set-password NAME  read that password from standard input (no echo), then save;\n"
         "                 an empty one is refused unless --empty follows NAME to clear it\n"
         "  --detailed-exitcodes  --set exits 0 when nothing changed and 3 when a file was\n"
         "                 written (without it both are 0); 1 refused, 2 a wrong command line\n"
#ifdef _WIN32
         "  --install-service  register (or update) the Windows service \"Tarnwick\", started\n"
         "                 automatically, with the folders given (default %ProgramData%\\Tarnwick\n"
         "                 and its logs folder); an administrator's command\n"
         "  --uninstall-service  stop and remove the service; its settings and logs stay\n"
         "  --service      run as the service (its command line, for the Service Control Manager)\n"
#endif
      ;
}

std::string HeadlessVersionNumber() {
  return TARNWICK_VERSION;
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
