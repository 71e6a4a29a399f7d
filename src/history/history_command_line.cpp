#include "history/history_command_line.h"

#include <iostream>

#include "domain/history_time.h"
#include "history/history_report.h"

namespace tarnwick {

std::optional<int> RunHistoryCommandLine(
    const std::vector<std::string>& args, const OpenHistoryForReading& open, IClock& clock,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile) {
  const HistoryCommand command = ParseHistoryCommand(args);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  const std::unique_ptr<IHistoryStore> store = open();
  return RunHistoryCommand(command, *store, ToHistorySeconds(clock.Now()), std::cout, std::cerr,
                           createFile);
}

}  // namespace tarnwick
