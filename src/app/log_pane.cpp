#include "log_pane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <string>

#include "monitor/activity_log.h"
#include "qt_render.h"

namespace tarnwick {

namespace {

// One pane line as one text line: the log's blank separator line is CR LF itself, and a message
// that spans lines keeps them apart with LF only.
QString PaneText(const std::string& line) {
  QString text = ToQString(line);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  while (text.endsWith(QChar('\n'))) text.chop(1);
  return text;
}

}  // namespace

LogPane::LogPane(size_t lineLimit, QWidget* parent)
    : QPlainTextEdit(parent), lineLimit_(lineLimit) {
  setReadOnly(true);
  // Alert lines run long; wrapped, they read without scrolling sideways.
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setUndoRedoEnabled(false);
}

void LogPane::Follow(const ActivityLog& log) {
  const size_t written = log.LinesWritten();
  if (written == seenWritten_) return;
  const auto& lines = log.PaneLines();
  const size_t fresh = std::min({written - seenWritten_, lines.size(), lineLimit_});
  seenWritten_ = written;
  if (fresh == 0) return;

  // PaneLines() is newest first already: the fresh lines go on top in the same order.
  QString block;
  for (size_t i = 0; i < fresh; ++i) {
    if (i > 0) block += QChar('\n');
    block += PaneText(lines[i]);
  }
  if (linesShown_ > 0) block += QChar('\n');
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::Start);
  cursor.insertText(block);
  DropOldestBeyondLimit();
  verticalScrollBar()->setValue(0);
}

void LogPane::DropOldestBeyondLimit() {
  const int limit = static_cast<int>(lineLimit_);
  QTextDocument* doc = document();
  if (doc->blockCount() <= limit) {
    linesShown_ = static_cast<size_t>(doc->blockCount());
    return;
  }
  // Removes from the end of the last kept block (its line break included) to the end.
  QTextCursor cursor(doc->findBlockByNumber(limit - 1));
  cursor.movePosition(QTextCursor::EndOfBlock);
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  linesShown_ = lineLimit_;
}

}  // namespace tarnwick
