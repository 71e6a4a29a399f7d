// The history options of a program's command line (--history, --export-history), carried out
// over the history file before any window or monitoring exists. Both programs call this first.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
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

}  // namespace tarnwick
