// How many terminal columns UTF-8 text takes, for tables printed to a terminal: an East Asian
// wide or fullwidth character takes two, a combining mark or a zero-width character none, any
// other character one. Measure text after PrintableText: controls count as none.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

// The columns of one code point: 0, 1 or 2.
int CodePointWidth(char32_t c);

// The columns of `text`; a byte that is not part of well-formed UTF-8 counts as one (a terminal
// shows it as one replacement character).
size_t DisplayWidth(std::string_view text);

// `text` when it takes at most `columns`; else its longest start, cut between characters (a
// combining mark stays with its letter), that leaves room for kCutMark within `columns`.
std::string FitToWidth(std::string_view text, size_t columns);

// `text` followed by blanks up to `columns` (nothing added when it is that wide already).
std::string PadToWidth(std::string_view text, size_t columns);

// Ends a cut text: one column wide.
inline constexpr std::string_view kCutMark = "\u2026";

}  // namespace tarnwick
