// The log pane is a view of the activity log's own lines: after any mix of writes and renders it
// shows the log's newest lines first, bounded at the bottom, and a selection survives new lines
// and copies the lines as written.
#include "log_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QTest>
#include <ostream>
#include <string>
#include <vector>

#include "monitor/activity_log.h"
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

}  // namespace
}  // namespace tarnwick::testing
