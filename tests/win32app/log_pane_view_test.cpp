// The log pane: a virtual list over the log's own lines, newest first, at most 5,000 rows; a
// reader at the top sees new lines arrive, a reader scrolled down keeps the lines in view and
// the selection on the same lines; the selected lines are copied newest first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "list_views.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

using win32::SelectedRows;

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = win32::U8(wide);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void Select(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

class LogPaneTest : public Win32ViewTest {
 protected:
  HWND Pane() { return Control(Main(), win32::id::txtLog); }
  void Write(int from, int count) {
    for (int i = from; i < from + count; ++i) engine->WriteLog("line " + std::to_string(i));
    window->Render();
    Pump();
  }
  int Top() { return static_cast<int>(SendMessageW(Pane(), LVM_GETTOPINDEX, 0, 0)); }
};

TEST_F(LogPaneTest, AReaderAtTheTopSeesNewLinesAReaderBelowKeepsHisPlace) {
  Start();
  Write(0, 200);
  EXPECT_TRUE(LogRow(0).ends_with(" - line 199")) << LogRow(0);
  EXPECT_EQ(Top(), 0);

  Write(200, 2);
  EXPECT_EQ(Top(), 0) << "at the top the newest line stays in view";
  EXPECT_TRUE(LogRow(0).ends_with(" - line 201"));

  SendMessageW(Pane(), LVM_ENSUREVISIBLE, 150, FALSE);
  Pump();
  const int top = Top();
  ASSERT_GT(top, 0);
  const std::string topLine = LogRow(top);
  Select(Pane(), top + 1);
  const std::string selectedLine = LogRow(top + 1);

  Write(202, 3);
  EXPECT_EQ(Top(), top + 3);
  EXPECT_EQ(LogRow(Top()), topLine) << "the lines in view stay in view";
  EXPECT_EQ(SelectedRows(Pane()), std::vector<int>{top + 4});
  EXPECT_EQ(LogRow(top + 4), selectedLine) << "the selection stays on its line";
}

// A line longer than the pane ends in "..." inside it: the column is the client area's width,
// before and after the vertical scroll bar comes.
TEST_F(LogPaneTest, TheColumnRefitsWhenTheScrollBarComes) {
  Start();
  const auto clientWidth = [this] {
    RECT client{};
    GetClientRect(Pane(), &client);
    return static_cast<LRESULT>(client.right);
  };
  const LRESULT before = clientWidth();
  EXPECT_EQ(SendMessageW(Pane(), LVM_GETCOLUMNWIDTH, 0, 0), before);
  engine->WriteLog(std::string(400, 'x'));
  Write(0, 200);
  ASSERT_LT(clientWidth(), before) << "no vertical scroll bar came";
  EXPECT_EQ(SendMessageW(Pane(), LVM_GETCOLUMNWIDTH, 0, 0), clientWidth())
      << "the column runs under the scroll bar";
  EXPECT_EQ(GetWindowLongPtrW(Pane(), GWL_STYLE) & WS_HSCROLL, 0);
}

TEST_F(LogPaneTest, KeepsTheNewest5000LinesAndCopiesTheSelectionNewestFirst) {
  Start();
  Write(0, 5010);
  EXPECT_EQ(LogRows(), 5000);
  EXPECT_TRUE(LogRow(0).ends_with(" - line 5009"));
  EXPECT_TRUE(LogRow(4999).ends_with(" - line 10")) << LogRow(4999);

  Select(Pane(), 0);
  Select(Pane(), 2);
  SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(win32::id::mCopy, 0), 0);
  EXPECT_EQ(ClipboardText(), LogRow(0) + "\r\n" + LogRow(2) + "\r\n");

  // The pane's menu selects every line.
  SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(win32::id::mSelectAll, 0), 0);
  EXPECT_EQ(SelectedRows(Pane()).size(), 5000u);
}

}  // namespace
}  // namespace tarnwick::testing
