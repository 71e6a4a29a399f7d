#include "monitor/activity_log.h"

#include <fstream>

#include "common/text.h"
#include "common/time_text.h"
#include "common/utf8_path.h"

namespace tarnwick {

ActivityLog::ActivityLog(IClock& clock, const Settings& settings, std::string folder,
                         std::string separator)
    : clock_(clock),
      settings_(settings),
      folder_(std::move(folder)),
      separator_(std::move(separator)) {}

std::string ActivityLog::DailyFilePath(const LocalTime& when) const {
  return folder_ + separator_ + "Tarnwick_log_" + Mmdd(when) + ".txt";
}

void ActivityLog::WriteLog(const std::string& message) {
  const LocalTime now = clock_.Now();
  const std::string line = message == kCrLf ? message : YmdHms(now) + " - " + message;
  pane_.push_front(line);
  if (pane_.size() > kPaneLineLimit) pane_.pop_back();
  ++written_;
  if (settings_.Enable_log > 0) {
    std::ofstream file(PathFromUtf8(DailyFilePath(now)), std::ios::binary | std::ios::app);
    if (file) file << line << kCrLf;
  }
  if (echo_) echo_(line);
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
