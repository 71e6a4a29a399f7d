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

// Text from outside (a process name, a server reply, a setting) as text a person reads: every
// character that steers a terminal or a line's layout instead of being shown becomes
// `replacement`. Those are the C0 controls and DEL (a newline forges a log line, ESC starts a
// terminal sequence), the C1 controls U+0080..U+009F (U+009B is a terminal's CSI), the Unicode
// line and paragraph separators, and the bidirectional formatting marks (U+061C, U+200E, U+200F,
// U+202A..U+202E, U+2066..U+2069), which reorder what the user reads ("gpj.exe" shown as
// "exe.jpg"). A byte that is not part of well-formed UTF-8 is replaced too: a lone 0x9B is CSI
// to an 8-bit terminal.
std::string PrintableText(std::string_view text, std::string_view replacement = "?");

// Whether every byte belongs to a well-formed UTF-8 sequence (no overlong forms, no surrogates,
// nothing past U+10FFFF). Text in a legacy 8-bit code page with a letter past ASCII almost never
// is: "Stra\xDFe" is not.
bool IsWellFormedUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence at text[at] (at < text.size()), and its code
// point; 0 when the bytes there are not one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t Utf8Sequence(std::string_view text, size_t at, char32_t& codePoint);

// Text as one line of the activity log or of a terminal: each CR and each LF becomes a blank, so
// no text can forge a line of its own, and everything else PrintableText replaces becomes "?".
// Every log line and everything the program without a window prints is cleaned by this rule.
std::string OneLineText(std::string_view text);

inline constexpr std::string_view kCrLf = "\r\n";

}  // namespace tarnwick
