#include "history/history_command_line.h"

#include <iostream>

#include "common/text.h"
#include "domain/history_time.h"
#include "history/history_report.h"

namespace tarnwick {

namespace {

constexpr std::string_view kUnknownOption = "unknown option";
constexpr std::string_view kNeedsFolder = "needs a folder";

// The history options of a desktop program's arguments, with the folder of --log-dir taken out;
// the first argument that is neither, or a --log-dir without a folder, is `refused`.
struct DesktopArgs {
  std::vector<std::string> history;
  std::string logFolder;
  std::string refused;
  std::string_view why;
};

DesktopArgs SplitDesktopArgs(const std::vector<std::string>& args) {
  DesktopArgs split;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == kHistoryLogDirOption) {
      if (!hasValue || args[i + 1].empty()) {
        if (split.refused.empty()) {
          split.refused = arg;
          split.why = kNeedsFolder;
        }
      } else {
        split.logFolder = args[++i];
      }
    } else if (arg == kHistoryOption) {
      split.history.push_back(arg);
    } else if (arg == kExportHistoryOption || arg == kSinceOption) {
      // A missing value is the history's to report.
      split.history.push_back(arg);
      if (hasValue) split.history.push_back(args[++i]);
    } else if (split.refused.empty()) {
      split.refused = arg;
      split.why = kUnknownOption;
    }
  }
  return split;
}

}  // namespace

std::optional<int> RunHistoryCommandLine(
    const std::vector<std::string>& args, const OpenHistoryForReading& open, IClock& clock,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile) {
  const HistoryCommand command = ParseHistoryCommand(args);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  const std::unique_ptr<IHistoryStore> store = open();
  return RunHistoryCommand(command, *store, ToHistorySeconds(clock.Now()), std::cout, std::cerr,
                           createFile);
}

std::optional<int> RunDesktopHistoryCommandLine(
    std::string_view program, const std::vector<std::string>& args,
    const std::string& defaultLogFolder, const OpenHistoryInFolder& open, IClock& clock,
    std::ostream& out, std::ostream& err,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile) {
  const DesktopArgs split = SplitDesktopArgs(args);
  const HistoryCommand command = ParseHistoryCommand(split.history);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  if (!split.refused.empty()) {
    if (split.why == kNeedsFolder) {
      err << program << ": option '" << split.refused << "' " << kNeedsFolder << "\n";
    } else {
      err << program << ": " << kUnknownOption << " '" << PrintableText(split.refused) << "'\n";
    }
    err << kHistoryUsage << "\n";
    return 2;
  }
  if (command.mode == HistoryCommand::Mode::Invalid) {
    err << command.error << "\n";
    return 2;
  }
  const std::unique_ptr<IHistoryStore> store =
      open(split.logFolder.empty() ? defaultLogFolder : split.logFolder);
  return RunHistoryCommand(command, *store, ToHistorySeconds(clock.Now()), out, err, createFile);
}

}  // namespace tarnwick
