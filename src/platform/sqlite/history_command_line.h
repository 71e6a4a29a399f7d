// The history options of a program's command line (--history, --export-history), carried out
// over the history file before any window or monitoring exists. Both programs call this first.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"

namespace tarnwick {

// `args` without the program's name; `historyPath` is the history file (read, never changed).
// The exit status when the options ask for the history, nullopt when they do not.
std::optional<int> RunHistoryCommandLine(const std::vector<std::string>& args,
                                         const std::string& historyPath, IClock& clock);

}  // namespace tarnwick
