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

class SettingsFile {
 public:
  SettingsFile(IFileSystem& files, std::string path);

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
  std::optional<std::string> unreadable_;
};

}  // namespace tarnwick
