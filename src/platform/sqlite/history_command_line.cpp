#include "platform/sqlite/history_command_line.h"

#include <iostream>
#include <memory>

#include "history/history_report.h"
#include "history/history_time.h"
#include "platform/sqlite/sqlite_history_store.h"

#ifdef _WIN32
#include <fstream>

#include "common/utf8_path.h"
#else
#include "platform/posix/owner_only_file.h"
#endif

namespace tarnwick {

std::optional<int> RunHistoryCommandLine(const std::vector<std::string>& args,
                                         const std::string& historyPath, IClock& clock) {
  const HistoryCommand command = ParseHistoryCommand(args);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  SqliteHistoryStore store(historyPath, SqliteHistoryStore::Access::ReadOnly);
  return RunHistoryCommand(command, store, ToHistorySeconds(clock.Now()), std::cout, std::cerr,
                           [](const std::string& file) -> std::unique_ptr<std::ostream> {
#ifdef _WIN32
                             return std::make_unique<std::ofstream>(
                                 PathFromUtf8(file), std::ios::binary | std::ios::trunc);
#else
                             return CreateOwnerOnlyFile(file);
#endif
                           });
}

}  // namespace tarnwick
