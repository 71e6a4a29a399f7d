#include "platform/sqlite/history_command_line.h"

#include <fstream>
#include <iostream>
#include <memory>

#include "common/utf8_path.h"
#include "history/history_report.h"
#include "history/history_time.h"
#include "platform/sqlite/sqlite_history_store.h"

namespace tarnwick {

std::optional<int> RunHistoryCommandLine(const std::vector<std::string>& args,
                                         const std::string& historyPath, IClock& clock) {
  const HistoryCommand command = ParseHistoryCommand(args);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  SqliteHistoryStore store(historyPath, SqliteHistoryStore::Access::ReadOnly);
  return RunHistoryCommand(command, store, ToHistorySeconds(clock.Now()), std::cout, std::cerr,
                           [](const std::string& file) -> std::unique_ptr<std::ostream> {
                             return std::make_unique<std::ofstream>(
                                 PathFromUtf8(file), std::ios::binary | std::ios::trunc);
                           });
}

}  // namespace tarnwick
