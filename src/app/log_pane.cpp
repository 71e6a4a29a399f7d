#include "log_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <string>
#include <vector>

#include "engine/activity_log.h"
#include "qt_render.h"

namespace tarnwick {

namespace {

inline constexpr char kCopyCaption[] = "&Copy";
inline constexpr char kSelectAllCaption[] = "Select &All";

// A log line with its line breaks as LF; the log's blank separator line (CR LF) is empty.
QString CopyText(const std::string& line) {
  QString text = ToQString(line);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  while (text.endsWith(QChar('\n'))) text.chop(1);
  return text;
}

// A row holds one text line: line breaks inside a message show as spaces.
QString RowText(const std::string& line) {
  QString text = CopyText(line);
  text.replace(QChar('\n'), QChar(' '));
  return text;
}

}  // namespace

LogLinesModel::LogLinesModel(const ActivityLog& log, size_t rowLimit, QObject* parent)
    : QAbstractListModel(parent), log_(log), rowLimit_(rowLimit) {}

int LogLinesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

QVariant LogLinesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != kCopyRole) return {};
  const auto& lines = log_.PaneLines();
  const size_t at = static_cast<size_t>(index.row()) + (log_.LinesWritten() - seenWritten_);
  if (at >= lines.size()) return {};  // dropped at the bottom, leaves with the next Sync
  if (role == kCopyRole) return CopyText(lines[at]);
  // A tooltip label takes markup for rich text: a line from outside shows as it was written.
  return role == Qt::ToolTipRole ? PlainToolTip(RowText(lines[at])) : RowText(lines[at]);
}

int LogLinesModel::Sync() {
  const size_t written = log_.LinesWritten();
  const size_t available = std::min(log_.PaneLines().size(), rowLimit_);
  const size_t fresh = std::min(written - seenWritten_, available);
  // Of the rows the view knows, those still among the newest `available` lines stay.
  const int kept = static_cast<int>(std::min(static_cast<size_t>(rows_), available - fresh));
  if (kept < rows_) {
    beginRemoveRows(QModelIndex(), kept, rows_ - 1);
    rows_ = kept;
    endRemoveRows();
  }
  if (fresh == 0) {
    seenWritten_ = written;
    return 0;
  }
  beginInsertRows(QModelIndex(), 0, static_cast<int>(fresh) - 1);
  seenWritten_ = written;
  rows_ += static_cast<int>(fresh);
  endInsertRows();
  return static_cast<int>(fresh);
}

LogPane::LogPane(size_t lineLimit, QWidget* parent) : QListView(parent), lineLimit_(lineLimit) {
  // One height for every row: the view lays out thousands of rows without measuring them.
  setUniformItemSizes(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* copy = new QAction(QString::fromUtf8(kCopyCaption), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, [this] { Copy(); });
  addAction(copy);
  auto* selectAll = new QAction(QString::fromUtf8(kSelectAllCaption), this);
  selectAll->setShortcut(QKeySequence::SelectAll);
  selectAll->setShortcutContext(Qt::WidgetShortcut);
  connect(selectAll, &QAction::triggered, this, [this] { QListView::selectAll(); });
  addAction(selectAll);
}

void LogPane::Follow(const ActivityLog& log) {
  if (lines_ == nullptr) {
    lines_ = new LogLinesModel(log, lineLimit_, this);
    setModel(lines_);
  }
  QScrollBar* bar = verticalScrollBar();
  const bool showsNewest = bar->value() == bar->minimum();
  const int added = lines_->Sync();
  if (added == 0) return;
  // The rows are laid out now rather than at the next paint, so that the scroll range and the
  // rows' places below are those of the new lines.
  executeDelayedItemsLayout();
  if (showsNewest) {
    bar->setValue(bar->minimum());
  } else {
    ScrollDownByRows(added);
  }
  // A tooltip up named the line that was under the pointer; it now names the one there.
  if (!toolTipText_.isEmpty() && QToolTip::isVisible() && QToolTip::text() == toolTipText_) {
    ShowToolTipAt(toolTipPoint_);
  }
}

void LogPane::ScrollDownByRows(int rows) {
  const int step = verticalScrollMode() == QAbstractItemView::ScrollPerItem ? 1 : sizeHintForRow(0);
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + rows * std::max(step, 1));
}

bool LogPane::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QListView::viewportEvent(event);
  ShowToolTipAt(static_cast<QHelpEvent*>(event)->pos());
  return true;
}

void LogPane::ShowToolTipAt(QPoint point) {
  toolTipPoint_ = point;
  const QModelIndex index = indexAt(point);
  toolTipText_ = index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
  if (toolTipText_.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  // Tied to the line's row: the tooltip goes when the pointer leaves it.
  QToolTip::showText(viewport()->mapToGlobal(point), toolTipText_, viewport(), visualRect(index));
}

size_t LogPane::LinesShown() const {
  return lines_ == nullptr ? 0 : static_cast<size_t>(lines_->rowCount());
}

QString LogPane::SelectedText() const {
  if (lines_ == nullptr) return {};
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  QStringList texts;
  for (int row : rows)
    texts << lines_->data(lines_->index(row), LogLinesModel::kCopyRole).toString();
  return texts.join(QChar('\n'));
}

void LogPane::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    event->accept();
    return;
  }
  QListView::keyPressEvent(event);
}

void LogPane::Copy() const {
  const QString text = SelectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

}  // namespace tarnwick
