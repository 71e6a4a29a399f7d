// The activity log pane: a list view over the ActivityLog's own lines, newest first. The pane
// keeps no copy of the lines; a new line is one inserted row at the top, so a render costs the
// new rows, not the whole pane. Rows have one height and hold one log line each; a line too long
// for the pane ends in "…" and shows whole in its tooltip and when copied.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QPoint>
#include <QString>
#include <cstddef>

class QEvent;
class QKeyEvent;

namespace tarnwick {

class ActivityLog;

// The log's pane lines as rows. The rows the view knows stay what they were until Sync: between
// a write and the next Sync the row numbers are shifted past the lines written meanwhile.
class LogLinesModel : public QAbstractListModel {
 public:
  // The role that gives a row's text for copying: the line as written, its line breaks kept.
  static constexpr int kCopyRole = Qt::UserRole;

  LogLinesModel(const ActivityLog& log, size_t rowLimit, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Tells the view about the lines written since the last Sync (rows on top) and about the
  // lines the log dropped at the bottom. Returns the rows put on top.
  int Sync();

 private:
  const ActivityLog& log_;
  size_t rowLimit_;
  int rows_ = 0;            // rows the view knows
  size_t seenWritten_ = 0;  // ActivityLog::LinesWritten() at the last Sync
};

class LogPane : public QListView {
 public:
  // `lineLimit`: rows kept; older lines leave at the bottom.
  explicit LogPane(size_t lineLimit, QWidget* parent = nullptr);

  // Shows `log` (the first call binds the pane to it) with the lines written since the last
  // call on top. Lines that already left the log's own bounded pane are skipped. A pane that
  // shows the newest line goes on showing the newest; one the reader scrolled down keeps the
  // lines in view where they are, and a tooltip up goes on naming the line under the pointer.
  void Follow(const ActivityLog& log);

  size_t LinesShown() const;
  // The selected rows' lines, newest first, one per line; what Copy puts on the clipboard.
  QString SelectedText() const;
  void Copy() const;

 protected:
  // Ctrl+C copies the selected lines; the list view alone would copy only the current row.
  void keyPressEvent(QKeyEvent* event) override;
  // Tooltips are shown here, so that new lines can bring a tooltip up to date.
  bool viewportEvent(QEvent* event) override;

 private:
  // Shows the tooltip of the line at `point` of the viewport (none where there is no line).
  void ShowToolTipAt(QPoint point);
  // Scrolls down by `rows` rows, whatever the scroll mode counts in.
  void ScrollDownByRows(int rows);

  size_t lineLimit_;
  LogLinesModel* lines_ = nullptr;
  // Where the pointer rested for the last tooltip, and the text this pane put up there.
  QPoint toolTipPoint_;
  QString toolTipText_;
};

}  // namespace tarnwick
