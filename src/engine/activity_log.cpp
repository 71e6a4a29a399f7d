#include "engine/activity_log.h"

#include <algorithm>
#include <iostream>

#include "common/text.h"
#include "common/time_text.h"
#include "common/utf8_path.h"

namespace tarnwick {
ActivityLog::ActivityLog(IClock& clock, const Settings& settings, IFileSystem& files,
                         std::string folder, std::string separator)
    : clock_(clock),
      settings_(settings),
      files_(files),
      folder_(std::move(folder)),
      separator_(std::move(separator)) {}

std::string ActivityLog::DailyFilePath(const LocalTime& when) const {
  return folder_ + separator_ + "Tarnwick_log_" + Mmdd(when) + ".txt";
}

void ActivityLog::EnsureFolder() {
  files_.MakeFolder(folder_);
}

void ActivityLog::WriteLog(const std::string& message) {
  const LocalTime now = clock_.Now();
  // The bare line end is the log's own blank separator line.
  const std::string line = message == kCrLf ? message : YmdHms(now) + " - " + OneLineText(message);
  AddToPane(line);
  if (echo_) echo_(line);
  if (settings_.Enable_log > 0) AppendToFile(now, line);
}

void ActivityLog::AppendToFile(const LocalTime& now, const std::string& line) {
  const std::string path = DailyFilePath(now);
  // A line that a full disk cut short is ended first, so the file stays one event per line.
  std::string content = path == unendedFile_ ? std::string(missingEnd_) : std::string();
  content += line;
  content += kCrLf;
  FileResult written = files_.AppendFile(path, content);
  if (!written.ok && written.written == 0 && !files_.Exists(folder_)) {
    // The folder was removed while the program ran (or never made): make it and try once more.
    files_.MakeFolder(folder_);
    written = files_.AppendFile(path, content);
  }
  if (written.ok) {
    if (path == unendedFile_) unendedFile_.clear();
    fileFailing_ = false;
    return;
  }
  if (written.written > 0) {
    const char last = content[std::min(written.written, content.size()) - 1];
    unendedFile_ = last == '\n' ? "" : path;
    missingEnd_ = last == '\r' ? std::string_view("\n") : kCrLf;
  }
  if (fileFailing_) return;
  fileFailing_ = true;
  const std::string notice = OneLineText(std::string(kLogWriteFailedStart) + path + ": " +
                                         written.reason + std::string(kLogWriteFailedEnd));
  std::cerr << notice << std::endl;
  // A pane line like any other: whoever echoes the log (tarnwickd's output, the Event Log) gets it.
  const std::string noticeLine = YmdHms(now) + " - " + notice;
  AddToPane(noticeLine);
  if (echo_) echo_(noticeLine);
  if (failed_) failed_(notice);
}

void ActivityLog::AddToPane(const std::string& line) {
  pane_.push_front(line);
  if (pane_.size() > kPaneLineLimit) pane_.pop_back();
  ++written_;
}

std::string ActivityLog::PaneText() const {
  std::string text;
  for (const std::string& line : pane_) {
    text += line;
    text += kCrLf;
  }
  return text;
}

}  // namespace tarnwick
