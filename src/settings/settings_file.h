// One settings file of the program's folder (setting.ini, smtpsvr.ini, pgmsetting.ini) as the
// program reads it at start and replaces it at a dialog's Save. Reads are bounded, a file that
// exists but cannot be read is remembered, and a Save over such a file asks first: the user's
// own values are never replaced by presets without a word.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/settings_text.h"
#include "platform/ui_services.h"

namespace tarnwick {

// Only the first 64 KiB of a settings file count; a real one holds a few hundred bytes.
inline constexpr size_t kSettingsFileLimit = 64 * 1024;

inline constexpr std::string_view kUnreadableLogStart = "Cannot read settings file ";
inline constexpr std::string_view kUnreadableLogEnd = "; its features stay off";
inline constexpr std::string_view kTruncatedLogStart = "Settings file ";
inline constexpr std::string_view kTruncatedLogEnd =
    " is longer than 64 KiB; only its first 64 KiB are read";
inline constexpr std::string_view kOverwriteAskStart = "The settings file ";
inline constexpr std::string_view kOverwriteAskMiddle = " could not be read at start (";
inline constexpr std::string_view kOverwriteAskEnd =
    ").\r\nSaving replaces it with the values shown here. Save anyway?";
inline constexpr std::string_view kSaveFailedStart = "The settings file ";
inline constexpr std::string_view kSaveFailedMiddle = " could not be saved: ";
inline constexpr std::string_view kSaveFailedEnd = "\r\nNothing was changed.";
inline constexpr std::string_view kSettingsFileTitle = "Tarnwick";

// The two conversions between UTF-8 and the code page a settings file may be stored in.
struct SettingsCodePage {
  std::string (*fromCodePage)(std::string_view bytes);
  std::optional<std::string> (*toCodePage)(std::string_view utf8);
};
// The system's ANSI code page on Windows; none on POSIX systems (platform/settings_text.h).
inline constexpr SettingsCodePage kSystemCodePage{&SettingsTextFromAnsi, &SettingsTextToAnsi};

// A file's content as the UTF-8 the parsers read. A file whose text is well-formed UTF-8 is taken
// as it is; any other is decoded from the code page, line by line, keeping its line ends. The
// lines numbered (from 0) in `scrambledLines` hold passwords scrambled byte by byte: their
// padding bytes are not text, so what counts and is decoded is the password they unscramble to,
// scrambled again afterwards.
std::string SettingsTextFromFile(std::string_view bytes, const std::vector<size_t>& scrambledLines,
                                 const SettingsCodePage& codePage = kSystemCodePage);
// The bytes to store for a file's UTF-8 content: in the code page when every character fits it
// and the bytes read back as the same text, otherwise the UTF-8 unchanged. "Ã©" in cp1252 is
// well-formed UTF-8 for "é", so it stays UTF-8.
std::string SettingsTextForFile(std::string_view text, const std::vector<size_t>& scrambledLines,
                                const SettingsCodePage& codePage = kSystemCodePage);

class SettingsFile {
 public:
  // `scrambledLines`: the lines (from 0) that hold a scrambled password.
  SettingsFile(IFileSystem& files, std::string path, std::vector<size_t> scrambledLines = {});

  const std::string& Path() const { return path_; }

  struct Loaded {
    // The file's first bytes; nullopt when it is missing or unreadable.
    std::optional<std::string> content;
    bool exists = false;
    // Lines for the activity log: the reason of an unreadable file, or that only the first
    // 64 KiB were read.
    std::vector<std::string> notices;
  };
  // Removes what a save killed half-way left beside the file, then reads it.
  Loaded Load();

  // Writes `content` in place of the file. When the file could not be read at start, asks first
  // (default No) naming the file and the reason; a write that fails is shown in a message box
  // naming the file and the system's reason. True only when the file was written.
  bool Save(std::string_view content, IUiServices& ui);

  // The system's reason why the file could not be read at start, when it could not.
  const std::optional<std::string>& UnreadableReason() const { return unreadable_; }

 private:
  IFileSystem& files_;
  std::string path_;
  std::vector<size_t> scrambledLines_;
  std::optional<std::string> unreadable_;
};

}  // namespace tarnwick
