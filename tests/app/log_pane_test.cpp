// The log pane is a view of the activity log's own lines: after any mix of writes and renders it
// shows the log's newest lines first, bounded at the bottom, and a selection survives new lines
// and copies the lines as written.
#include "log_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/activity_log.h"
#include "qt_test_app.h"
#include "settings/settings.h"
#include "support/fake_file_system.h"
#include "support/fakes.h"

namespace tarnwick::testing {
namespace {

// The rows' texts as the view shows them, top first.
QStringList ShownRows(const LogPane& pane) {
  QStringList rows;
  if (pane.model() == nullptr) return rows;
  for (int row = 0; row < pane.model()->rowCount(); ++row) {
    rows << pane.model()->index(row, 0).data(Qt::DisplayRole).toString();
  }
  return rows;
}

struct PaneCase {
  const char* name;
  size_t paneLimit;
  std::vector<size_t> batches;  // lines written before each render
};

void PrintTo(const PaneCase& c, std::ostream* os) {
  *os << c.name;
}

class LogPaneTest : public ::testing::TestWithParam<PaneCase> {};

// What the pane must show: the log's own pane lines, newest first, the log's blank line (CR LF)
// as an empty row, cut to the pane's limit.
QStringList Expected(const ActivityLog& log, size_t limit) {
  QStringList lines;
  for (const std::string& line : log.PaneLines()) {
    if (static_cast<size_t>(lines.size()) == limit) break;
    lines << QString::fromStdString(line == "\r\n" ? std::string() : line);
  }
  return lines;
}

TEST_P(LogPaneTest, ShowsTheNewestLinesFirstAfterEveryRender) {
  EnsureQtApplication();
  const PaneCase& c = GetParam();
  FakeClock clock;
  Settings settings;  // Enable_log 0: no file
  testing::FakeFileSystem files;
  ActivityLog log(clock, settings, files, "/nonexistent", "/");
  LogPane pane(c.paneLimit);
  int n = 0;
  for (size_t batch : c.batches) {
    for (size_t i = 0; i < batch; ++i, ++n) {
      log.WriteLog(n % 7 == 3 ? std::string("\r\n") : "event " + std::to_string(n));
      clock.Advance(1);
    }
    pane.Follow(log);
    SCOPED_TRACE("after " + std::to_string(n) + " lines");
    ASSERT_EQ(ShownRows(pane), Expected(log, c.paneLimit));
    EXPECT_EQ(pane.LinesShown(), std::min(log.PaneLines().size(), c.paneLimit));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Batches, LogPaneTest,
    ::testing::Values(PaneCase{"FewLinesInBatches", ActivityLog::kPaneLineLimit, {1, 0, 2, 5}},
                      PaneCase{"PaneShorterThanLogDropsAtTheBottom", 4, {3, 3, 1, 9}},
                      PaneCase{"LogOverflowsBetweenRenders",
                               ActivityLog::kPaneLineLimit,
                               {2, ActivityLog::kPaneLineLimit + 10, 3}}),
    [](const ::testing::TestParamInfo<PaneCase>& p) { return std::string(p.param.name); });

class LogPaneSelectionTest : public ::testing::Test {
 protected:
  // Before the fixture's pane is built.
  static void SetUpTestSuite() { EnsureQtApplication(); }

  void Write(const std::string& message) {
    log.WriteLog(message);
    clock.Advance(1);
  }
  void SelectRow(int row, QItemSelectionModel::SelectionFlags how) {
    pane.selectionModel()->select(pane.model()->index(row, 0), how);
  }
  QStringList SelectedRows() {
    QStringList rows;
    for (const QModelIndex& index : pane.selectionModel()->selectedIndexes()) {
      rows << index.data().toString();
    }
    rows.sort();
    return rows;
  }

  FakeClock clock;
  Settings settings;
  FakeFileSystem files;
  ActivityLog log{clock, settings, files, "/nonexistent", "/"};
  LogPane pane{4};
};

TEST_F(LogPaneSelectionTest, SelectionStaysOnItsLinesWhileNewLinesArriveAndOldOnesLeave) {
  for (const char* message : {"a", "b", "c"}) Write(message);
  pane.Follow(log);
  SelectRow(1, QItemSelectionModel::ClearAndSelect);  // "b"
  SelectRow(2, QItemSelectionModel::Select);          // "a"
  const QStringList selected = SelectedRows();
  ASSERT_EQ(selected.size(), 2);

  // "d" goes on top; "e" pushes "a" out of the four rows.
  Write("d");
  pane.Follow(log);
  EXPECT_EQ(SelectedRows(), selected);
  Write("e");
  pane.Follow(log);
  ASSERT_EQ(SelectedRows().size(), 1);
  EXPECT_TRUE(SelectedRows().front().endsWith(" - b"));
}

TEST_F(LogPaneSelectionTest, CopyPutsTheSelectedLinesNewestFirstOnTheClipboard) {
  Write("first");
  Write("spans\r\ntwo lines");
  Write("third");
  pane.Follow(log);
  // The log keeps every line on one line (a line break in a message becomes a blank).
  EXPECT_TRUE(ShownRows(pane)[1].endsWith(" - spans  two lines"))
      << ShownRows(pane)[1].toStdString();
  SelectRow(2, QItemSelectionModel::ClearAndSelect);
  SelectRow(1, QItemSelectionModel::Select);

  pane.show();
  pane.setFocus();
  QApplication::clipboard()->clear();
  QTest::keySequence(&pane, QKeySequence::Copy);
  const QStringList copied = QApplication::clipboard()->text().split(QChar('\n'));
  ASSERT_EQ(copied.size(), 2) << QApplication::clipboard()->text().toStdString();
  EXPECT_TRUE(copied[0].endsWith(" - spans  two lines"));
  EXPECT_TRUE(copied[1].endsWith(" - first"));
}

// A pane of a few rows over forty lines, shown, as the reader sees it.
class LogPaneReadingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureQtApplication(); }

  void SetUp() override {
    for (int i = 0; i < 40; ++i) Write("line " + std::to_string(i));
    pane.resize(400, 120);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  }
  void TearDown() override { QToolTip::hideText(); }

  void Write(const std::string& message) {
    log.WriteLog(message);
    clock.Advance(1);
    pane.Follow(log);
  }
  QPoint RowCentre(int row) { return pane.visualRect(pane.model()->index(row, 0)).center(); }
  std::string LineAt(QPoint point) { return pane.indexAt(point).data().toString().toStdString(); }
  std::string TopLine() { return LineAt(QPoint(2, 2)); }
  // The pointer rests at `point` of the pane's viewport.
  void Hover(QPoint point) {
    QHelpEvent help(QEvent::ToolTip, point, pane.viewport()->mapToGlobal(point));
    QApplication::sendEvent(pane.viewport(), &help);
  }
  // The text of the tooltip on the screen as its label shows it (rich text rendered).
  static std::string ShownTip() {
    if (!QToolTip::isVisible()) return {};
    const QString text = QToolTip::text();
    if (!Qt::mightBeRichText(text)) return text.toStdString();
    QTextDocument rendered;
    rendered.setHtml(text);
    return rendered.toPlainText().toStdString();
  }

  FakeClock clock;
  Settings settings;
  FakeFileSystem files;
  ActivityLog log{clock, settings, files, "/nonexistent", "/"};
  LogPane pane{ActivityLog::kPaneLineLimit};
};

TEST_F(LogPaneReadingTest, NewLinesScrollOnlyAPaneThatShowsTheNewest) {
  const struct {
    const char* name;
    std::function<void(LogPane&)> scroll;
    bool followsNewest;
  } cases[] = {
      {"at the top", [](LogPane& p) { p.verticalScrollBar()->setValue(0); }, true},
      {"scrolled down",
       [](LogPane& p) { p.scrollTo(p.model()->index(12, 0), QAbstractItemView::PositionAtTop); },
       false},
      {"at the bottom",
       [](LogPane& p) { p.verticalScrollBar()->setValue(p.verticalScrollBar()->maximum()); },
       false},
  };
  // The scroll bar counts rows or pixels, as the style says; either way.
  for (const auto mode : {QAbstractItemView::ScrollPerItem, QAbstractItemView::ScrollPerPixel}) {
    pane.setVerticalScrollMode(mode);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) +
                   (mode == QAbstractItemView::ScrollPerItem ? " by rows" : " by pixels"));
      c.scroll(pane);
      const std::string before = TopLine();
      Write("news 1");
      Write("news 2");
      if (c.followsNewest) {
        EXPECT_TRUE(TopLine().ends_with(" - news 2")) << TopLine();
      } else {
        EXPECT_EQ(TopLine(), before);
      }
    }
  }
}

// The tooltip names the line under the pointer, also when new lines push the lines down beneath
// a resting pointer, and shows markup in a line as the characters it is made of.
TEST_F(LogPaneReadingTest, TheTooltipIsTheLineUnderThePointerAsWritten) {
  const std::string markup = "Service said: <b>not bold</b> &amp; <a href=\"x\">no link</a>";
  Write(markup);
  const QPoint top = RowCentre(0);
  Hover(top);
  EXPECT_TRUE(ShownTip().ends_with(" - " + markup)) << ShownTip();
  EXPECT_EQ(ShownTip(), LineAt(top));

  Write("next");
  EXPECT_TRUE(LineAt(top).ends_with(" - next"));
  EXPECT_EQ(ShownTip(), LineAt(top)) << "the tooltip still names the line that moved away";

  // Scrolled down, the lines stay where they are, and so does the tooltip.
  pane.scrollTo(pane.model()->index(20, 0), QAbstractItemView::PositionAtTop);
  const QPoint second = RowCentre(21);
  Hover(second);
  const std::string hovered = LineAt(second);
  Write("later");
  EXPECT_EQ(LineAt(second), hovered);
  EXPECT_EQ(ShownTip(), hovered);
}

}  // namespace
}  // namespace tarnwick::testing
