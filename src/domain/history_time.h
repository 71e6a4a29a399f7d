// Times of the history: local calendar time counted as seconds since 1970-01-01 00:00 of the
// same calendar, so rows sort and subtract like plain numbers and print back as the local time
// they were taken at. An hour the clock is set back repeats its numbers; rows are never merged
// by time, so nothing is lost.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/time_text.h"

namespace tarnwick {

int64_t ToHistorySeconds(const LocalTime& t);
LocalTime FromHistorySeconds(int64_t seconds);
// "yyyy-mm-dd hh:mm:ss"
std::string HistoryTimeText(int64_t seconds);

// A span such as "90s", "30m", "6h", "1d", "2w" (a bare number counts seconds); nullopt when the
// text is not one or is not positive.
std::optional<int64_t> ParseDuration(std::string_view text);

}  // namespace tarnwick
