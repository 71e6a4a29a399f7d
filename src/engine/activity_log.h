// The activity log: every event as a time-stamped line in the log pane (newest first) and, while
// Enable_log is on, in the daily file Tarnwick_log_mmdd.txt (oldest first).
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "common/text.h"
#include "platform/file_system.h"
#include "settings/settings.h"

namespace tarnwick {

// Said once on standard error and in the pane when a line cannot reach the daily file.
inline constexpr std::string_view kLogWriteFailedStart = "Cannot write the log file ";
inline constexpr std::string_view kLogWriteFailedEnd =
    "; lines go to the window only until it can be written again";

class ActivityLog {
 public:
  // The pane keeps this many of the newest lines; the file keeps everything.
  static constexpr size_t kPaneLineLimit = 5000;

  // `folder` is the log folder, `separator` the platform's path separator.
  ActivityLog(IClock& clock, const Settings& settings, IFileSystem& files, std::string folder,
              std::string separator);

  // Creates the log folder, owner-only (the log names recipients, hosts and processes).
  void EnsureFolder();

  // Writes one line: "yyyy-mm-dd hh:mm:ss - " + message (a message of exactly CR LF is written as
  // it is). The message is cleaned by OneLineText: a CR or LF becomes a blank, so no message can
  // forge lines of its own, and no other control character, bidirectional mark or malformed
  // UTF-8 reaches the pane, the file or a terminal. When a line cannot reach the file, that is
  // said once on standard error and in the pane; every later line tries the file again, and the
  // next one that reaches it ends the outage. A line that reached the file only in part (a full
  // disk) is ended with CR LF before the next line goes into that file.
  void WriteLog(const std::string& message);

  // The pane's lines, newest first.
  const std::deque<std::string>& PaneLines() const { return pane_; }
  // The pane as one text, each line ended by CR LF (what the "I am alive" notice quotes).
  std::string PaneText() const;
  // Lines written since the start; lets a view add only the new ones.
  size_t LinesWritten() const { return written_; }

  // Path of the daily file for a date.
  std::string DailyFilePath(const LocalTime& when) const;
  const std::string& Folder() const { return folder_; }

  // Called with every line of the pane, the notice of a failing file too, as it is written (the
  // headless program echoes to stdout).
  void SetEcho(std::function<void(const std::string&)> echo) { echo_ = std::move(echo); }
  // Called with the notice's message when lines stop reaching the daily file.
  void SetFailure(std::function<void(const std::string&)> failed) { failed_ = std::move(failed); }

 private:
  void AppendToFile(const LocalTime& now, const std::string& line);
  void AddToPane(const std::string& line);

  IClock& clock_;
  const Settings& settings_;
  IFileSystem& files_;
  bool fileFailing_ = false;
  // The daily file whose last line a full disk cut short (empty when every line is ended), and
  // what that line still lacks: CR LF, or LF after its CR.
  std::string unendedFile_;
  std::string_view missingEnd_ = kCrLf;
  std::string folder_;
  std::string separator_;
  std::deque<std::string> pane_;
  size_t written_ = 0;
  std::function<void(const std::string&)> echo_;
  std::function<void(const std::string&)> failed_;
};

}  // namespace tarnwick
