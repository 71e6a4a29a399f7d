// The log pane follows the activity log incrementally: after any mix of writes and renders it
// shows the log's newest lines first, bounded at the bottom.
#include "log_pane.h"

#include <gtest/gtest.h>

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
// as an empty line, cut to the pane's limit.
QString Expected(const ActivityLog& log, size_t limit) {
  QStringList lines;
  for (const std::string& line : log.PaneLines()) {
    if (static_cast<size_t>(lines.size()) == limit) break;
    lines << QString::fromStdString(line == "\r\n" ? std::string() : line);
  }
  return lines.join(QChar('\n'));
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
    ASSERT_EQ(pane.toPlainText(), Expected(log, c.paneLimit));
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

}  // namespace
}  // namespace tarnwick::testing
