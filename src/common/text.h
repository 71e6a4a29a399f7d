// Small text helpers shared by every part of the program. Texts are byte strings (UTF-8 on
// Linux); case rules touch ASCII letters only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Without leading and trailing spaces. A tab is kept: it may belong to the value (a password that
// ends in one).
std::string_view Trim(std::string_view text);
std::string TrimCopy(std::string_view text);
// Without leading and trailing spaces and tabs; for reading numbers, where neither can matter.
std::string_view TrimSpacesAndTabs(std::string_view text);

std::string ToLower(std::string_view text);

bool Contains(std::string_view text, std::string_view part);
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// Replaces every occurrence of `from` (not empty) by `to`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The first `count` characters (the whole text when it is shorter).
std::string Left(std::string_view text, size_t count);

// Splits a file's content into lines; CR LF, a lone LF and a lone CR all end a line. A final
// line end does not start another line.
std::vector<std::string> SplitLines(std::string_view content);

inline constexpr std::string_view kCrLf = "\r\n";

}  // namespace tarnwick
