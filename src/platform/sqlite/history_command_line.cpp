#include "platform/sqlite/history_command_line.h"

#include <iostream>
#include <memory>

#include "history/history_report.h"
#include "domain/history_time.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"

namespace tarnwick {

std::optional<int> RunHistoryCommandLine(const std::vector<std::string>& args,
                                         const std::string& historyPath, IClock& clock) {
  const HistoryCommand command = ParseHistoryCommand(args);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  SqliteHistoryStore store(historyPath, SqliteHistoryStore::Access::ReadOnly);
  return RunHistoryCommand(command, store, ToHistorySeconds(clock.Now()), std::cout, std::cerr,
                           &CreateOwnerOnlyFile);
}

}  // namespace tarnwick
