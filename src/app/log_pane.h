// The activity log pane: a read-only text box that shows the log newest line first. It follows
// the ActivityLog incrementally, so a render costs the new lines, not the whole pane.
#pragma once

#include <QPlainTextEdit>
#include <cstddef>

namespace tarnwick {

class ActivityLog;

class LogPane : public QPlainTextEdit {
 public:
  // `lineLimit`: lines kept; older ones are dropped at the bottom.
  explicit LogPane(size_t lineLimit, QWidget* parent = nullptr);

  // Adds the lines written to `log` since the last call at the top. Lines that already left the
  // log's own bounded pane before they could be shown are skipped.
  void Follow(const ActivityLog& log);

  size_t LinesShown() const { return linesShown_; }

 private:
  void DropOldestBeyondLimit();

  size_t lineLimit_;
  size_t seenWritten_ = 0;  // ActivityLog::LinesWritten() at the last Follow
  size_t linesShown_ = 0;   // text lines in the pane (a message with line breaks counts each)
};

}  // namespace tarnwick
