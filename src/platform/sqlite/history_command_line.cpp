#include "platform/sqlite/history_command_line.h"

#include <ext/stdio_filebuf.h>
#include <iostream>
#include <memory>
#include <ostream>

#include "history/history_report.h"
#include "history/history_time.h"
#include "platform/posix/posix_file_system.h"
#include "platform/sqlite/sqlite_history_store.h"

namespace tarnwick {
namespace {

// An output stream that writes to a descriptor it owns and closes.
class DescriptorStream final : public std::ostream {
 public:
  explicit DescriptorStream(int fd)
      : std::ostream(nullptr), buffer_(fd, std::ios::out | std::ios::binary) {
    rdbuf(&buffer_);
  }

 private:
  __gnu_cxx::stdio_filebuf<char> buffer_;
};

}  // namespace

std::optional<int> RunHistoryCommandLine(const std::vector<std::string>& args,
                                         const std::string& historyPath, IClock& clock) {
  const HistoryCommand command = ParseHistoryCommand(args);
  if (command.mode == HistoryCommand::Mode::None) return std::nullopt;
  SqliteHistoryStore store(historyPath, SqliteHistoryStore::Access::ReadOnly);
  return RunHistoryCommand(command, store, ToHistorySeconds(clock.Now()), std::cout, std::cerr,
                           [](const std::string& file) -> std::unique_ptr<std::ostream> {
                             std::string reason;
                             const int fd = PosixFileSystem::OpenOwnerOnlyForWriting(file, reason);
                             if (fd < 0) return nullptr;
                             return std::make_unique<DescriptorStream>(fd);
                           });
}

}  // namespace tarnwick
