// The encoding of the settings files on disk (setting.ini, smtpsvr.ini, pgmsetting.ini). The
// program keeps text in UTF-8. On Windows these files are text in the system's ANSI code page
// (GetACP), as Notepad and the program's earlier versions write them; on POSIX systems they are
// UTF-8 and nothing is converted. Which form a file is in is decided in settings/settings_file.h;
// these two calls only convert.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Text stored in the ANSI code page, as UTF-8. A byte the code page leaves undefined becomes the
// character Windows maps it to (U+0081 for 0x81 in cp1252). POSIX systems: the bytes unchanged.
std::string SettingsTextFromAnsi(std::string_view bytes);

// UTF-8 text in the ANSI code page; nullopt when a character has no exact form there (no
// best-fit "a" for "ā", no "?" for "Ω" in cp1252), when `utf8` is not well-formed UTF-8, and
// where files stay UTF-8: on POSIX systems and on Windows set to code page 65001.
std::optional<std::string> SettingsTextToAnsi(std::string_view utf8);

}  // namespace tarnwick
