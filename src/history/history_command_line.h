// The history options of a program's command line (--history, --export-history), carried out
// over the history file before any window or monitoring exists. Both programs call this first.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "platform/history_store.h"

namespace tarnwick {

// Opens the history file for reading, never changing it.
using OpenHistoryForReading = std::function<std::unique_ptr<IHistoryStore>()>;

// `args` without the program's name; `createFile` makes the export's file (owner-only). The exit
// status when the options ask for the history, nullopt when they do not (the store is then never
// opened).
std::optional<int> RunHistoryCommandLine(
    const std::vector<std::string>& args, const OpenHistoryForReading& open, IClock& clock,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile);

// Opens the history file of a log folder for reading, never changing it.
using OpenHistoryInFolder = std::function<std::unique_ptr<IHistoryStore>(const std::string&)>;

// The command line of a desktop program, whose other options belong to its window. It reads
// --log-dir DIR (the history's folder; `defaultLogFolder` when not given) besides the history
// options. When a history command is given, any other argument is refused, as tarnwickd refuses
// it: "PROGRAM: unknown option 'ARG'" and the usage on `err`, exit status 2. nullopt when the
// arguments ask for no history.
std::optional<int> RunDesktopHistoryCommandLine(
    std::string_view program, const std::vector<std::string>& args,
    const std::string& defaultLogFolder, const OpenHistoryInFolder& open, IClock& clock,
    std::ostream& out, std::ostream& err,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile);

}  // namespace tarnwick
