// The Win32 History window over its model on a real store: Log > History opens it, the events
// list shows the span's events and sorts, filters and selects through the model, each watch's
// alerts are drawn on its own graph with their text under the pointer, the span buttons, a drag
// and Back zoom, the refresh timer moves the span on and keeps what the user chose, the window
// keeps its size whatever the pointer's text says, and the exports write their files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "domain/history_time.h"
#include "history/history_report.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "platform/owner_only_file.h"
#include "platform/sqlite/sqlite_history_store.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

namespace id = win32::id;

// A process name a hostile program could give itself: very long, and markup.
const std::string kLongName = "<b>x</b>" + std::string(400, 'w');
constexpr COLORREF kAlertColour = RGB(0xd6, 0x27, 0x28);

uint32_t BigEndian(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

class Win32HistoryTest : public Win32ViewTest {
 protected:
  std::unique_ptr<SqliteHistoryStore> store;
  std::unique_ptr<HistoryWindowModel> history;
  std::unique_ptr<win32::HistoryWindow> view;
  int64_t now = 0;
  int64_t cpuAlert = 0;
  int64_t memAlert = 0;

  // Fifty minutes of samples at 30 % CPU and 60 % memory, a CPU alert that was sent and a
  // memory alert that was only logged, each with its top process, and a back to normal.
  void SetUp() override {
    Win32ViewTest::SetUp();
    std::filesystem::create_directories(PathFromUtf8(system.logFolder));
    store = std::make_unique<SqliteHistoryStore>(system.logFolder + "/Tarnwick_history.sqlite");
    now = ToHistorySeconds(clock.now);
    cpuAlert = now - 1190;
    memAlert = now - 600;
    HistoryBatch b;
    for (int64_t t = now - 3000; t < now; t += 10) b.samples.push_back({t, 30, 60, 6000});
    b.tops.push_back({now - 1200, TopKind::Cpu, 1, "hog.exe", 55, 90});
    for (int64_t t = now - 3000; t < now; t += 60) {
      b.tops.push_back({t, TopKind::Cpu, 1, kLongName, 56, 12});
    }
    HistoryEvent cpuEvent{cpuAlert, HistoryEventKind::AlertRaised, "CPU 95% exceed 80%"};
    cpuEvent.watch = HistoryWatch::Cpu;
    cpuEvent.value = 95;
    cpuEvent.top = "hog.exe";
    cpuEvent.sent = SendState::Sent;
    HistoryEvent memEvent{memAlert, HistoryEventKind::AlertRaised, "MEMORY 92% exceed 90%"};
    memEvent.watch = HistoryWatch::Memory;
    memEvent.value = 92;
    memEvent.top = "java.exe";
    memEvent.sent = SendState::LogOnly;
    HistoryEvent normal{now - 900, HistoryEventKind::BackToNormal, "CPU 30% back to normal"};
    normal.watch = HistoryWatch::Cpu;
    normal.value = 30;
    b.events = {cpuEvent, normal, memEvent};
    ASSERT_TRUE(store->Append(b).ok);

    Start(nullptr, [this] {
      engine->settings.cpu_High = "80";
      engine->settings.mem_High = "90";
      history = std::make_unique<HistoryWindowModel>(
          clock, engine->settings, store.get(), nullptr,
          HistoryExport{&ui, &CreateOwnerOnlyFile, system.logFolder});
      view = std::make_unique<win32::HistoryWindow>(*history);
      window->SetHistoryCommand([this] { view->Open(); });
    });
    keyMessage = [this](const MSG& message) { return view->KeyMessage(message); };
  }

  void TearDown() override {
    view.reset();
    history.reset();
    store.reset();
    Win32ViewTest::TearDown();
  }

  HWND History() const { return view->hwnd(); }
  HWND Graph() const { return Control(History(), id::picGraph); }
  HWND Events() const { return Control(History(), id::grdEvents); }

  // The graph area's x at `fraction` of what the graphs show.
  int X(double fraction) const {
    const auto t =
        history->viewFrom +
        static_cast<int64_t>(fraction * static_cast<double>(history->viewTo - history->viewFrom));
    return view->PointOf(true, t, 50).x;
  }
  void Mouse(UINT message, int x, int y) {
    SendMessageW(Graph(), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    Pump();
  }
  void Drag(double from, double to) {
    const int y = view->PointOf(true, history->viewFrom, 50).y;
    Mouse(WM_LBUTTONDOWN, X(from), y);
    Mouse(WM_MOUSEMOVE, X((from + to) / 2), y);
    Mouse(WM_LBUTTONUP, X(to), y);
  }
  int RowAt(int64_t t) const {
    for (size_t r = 0; r < history->eventRows.size(); ++r) {
      if (history->eventRows[r].t == t) return static_cast<int>(r);
    }
    return -1;
  }
  // The colour the graph area shows at a point.
  COLORREF PixelAt(POINT at) {
    RedrawWindow(Graph(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(Graph());
    const COLORREF colour = GetPixel(dc, at.x, at.y);
    ReleaseDC(Graph(), dc);
    return colour;
  }
  // The text of the tooltip that follows the pointer over the graphs; empty when none shows.
  std::string MarkerTip() {
    struct Found {
      HWND owner;
      HWND tip;
    } found{History(), nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM data) -> BOOL {
          auto& f = *reinterpret_cast<Found*>(data);
          wchar_t name[64] = {};
          GetClassNameW(w, name, 64);
          if (std::wstring(name) == TOOLTIPS_CLASSW && GetWindow(w, GW_OWNER) == f.owner &&
              IsWindowVisible(w)) {
            f.tip = w;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (found.tip == nullptr) return {};
    wchar_t text[2048] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = Graph();
    tool.lpszText = text;
    SendMessageW(found.tip, TTM_GETTEXTW, 2048, reinterpret_cast<LPARAM>(&tool));
    return win32::U8(text);
  }
};

TEST_F(Win32HistoryTest, OpensWithinTheWorkAreaAndTheNextRunOpensItWhereItWasLeft) {
  ExpectPlaceKeptAcrossRuns(
      History(), kHistoryPlaceName, [this] { Menu(id::mHistory); },
      [this](WindowPlaces& places) { view->UsePlaces(places); });
}

TEST_F(Win32HistoryTest, TheEventsListSortsFiltersAndItsSelectionMarksTheGraphs) {
  HMENU log = GetSubMenu(GetMenu(Main()), 1);
  wchar_t caption[64] = {};
  GetMenuStringW(log, id::mHistory, caption, 64, MF_BYCOMMAND);
  EXPECT_EQ(win32::U8(caption), "&History");
  Menu(id::mHistory);
  ASSERT_TRUE(IsWindowVisible(History()));
  EXPECT_EQ(win32::WindowTextUtf8(History()), "Usage history");

  // Newest first, every column as the model words it.
  ASSERT_EQ(Rows(Events()), 3);
  for (int row = 0; row < 3; ++row) {
    for (size_t column = 0; column < kEventColumns.size(); ++column) {
      EXPECT_EQ(Cell(Events(), row, static_cast<int>(column)),
                history->eventRows[static_cast<size_t>(row)].cells[column])
          << row << "/" << column;
    }
  }
  EXPECT_EQ(Cell(Events(), 0, static_cast<int>(EventColumn::Sent)), "log only");
  ClickHeading(Events(), static_cast<int>(EventColumn::Kind));
  EXPECT_EQ(history->eventSortColumn, EventColumn::Kind);
  EXPECT_EQ(Cell(Events(), 0, static_cast<int>(EventColumn::Kind)), "alert") << "from A";
  ClickHeading(Events(), static_cast<int>(EventColumn::Kind));
  EXPECT_TRUE(history->eventSortDescending) << "a second click turns the order round";
  EXPECT_EQ(Cell(Events(), 0, static_cast<int>(EventColumn::Kind)), "back to normal");

  Choose(History(), id::cboEventFilter, 3);
  EXPECT_EQ(history->eventFilterIndex, 3);
  EXPECT_EQ(Rows(Events()), 1) << "back to normal only";
  Choose(History(), id::cboEventFilter, 1);
  ASSERT_EQ(Rows(Events()), 2) << "alerts only";

  // The sent CPU alert, selected: a line across both graphs, a ring on the CPU graph only, and
  // its moment under the pointer's text.
  const int row = RowAt(cpuAlert);
  ASSERT_GE(row, 0);
  SelectListRow(Events(), row);
  EXPECT_EQ(history->selectedEventRow, row);
  EXPECT_EQ(history->selectedTime, cpuAlert);
  ASSERT_EQ(history->cpuMarkers.size(), 1u);
  ASSERT_EQ(history->memMarkers.size(), 1u);
  EXPECT_TRUE(history->cpuMarkers[0].selected);
  EXPECT_FALSE(history->memMarkers[0].selected);
  EXPECT_FALSE(history->lblHover.empty());
  EXPECT_EQ(Text(History(), id::lblHover), history->lblHover);

  // Each watch's alert is drawn on its own graph: filled for a sent one.
  const GraphMarker& marker = history->cpuMarkers[0];
  const POINT onCpu = view->PointOf(true, marker.t, marker.value);
  EXPECT_EQ(PixelAt(onCpu), kAlertColour);
  EXPECT_NE(PixelAt(view->PointOf(false, marker.t, marker.value)), kAlertColour)
      << "a CPU alert is not a memory one";
  // The pointer on a marker shows the event in words.
  Mouse(WM_MOUSEMOVE, onCpu.x, onCpu.y);
  EXPECT_EQ(MarkerTip(), marker.tip);
  EXPECT_NE(marker.tip.find("hog.exe"), std::string::npos);
  Mouse(WM_MOUSEMOVE, onCpu.x, onCpu.y + 60);
  EXPECT_EQ(MarkerTip(), "") << "away from the marker, no text";
}

TEST_F(Win32HistoryTest, TheTopProcessesPageShowsTheSamplesOfTheProcessDoubleClicked) {
  Menu(id::mHistory);
  const HWND top = Control(History(), id::grdTop);
  EXPECT_TRUE(IsWindowVisible(Events()));
  EXPECT_FALSE(IsWindowVisible(top)) << "one page at a time";
  // A click on the second page's tab.
  const HWND tabs = Control(History(), id::tabs);
  RECT tab{};
  SendMessageW(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
  const LPARAM onTab = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, onTab);
  SendMessageW(tabs, WM_LBUTTONUP, 0, onTab);
  Pump();
  EXPECT_TRUE(IsWindowVisible(top));
  EXPECT_FALSE(IsWindowVisible(Events()));

  ASSERT_EQ(Rows(top), 2);
  ASSERT_EQ(Cell(top, 1, 0), "hog.exe");
  RECT row{};
  row.left = LVIR_LABEL;
  SendMessageW(top, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  const LPARAM onRow = MAKELPARAM(row.left + 4, (row.top + row.bottom) / 2);
  SendMessageW(top, WM_LBUTTONDOWN, MK_LBUTTON, onRow);
  SendMessageW(top, WM_LBUTTONUP, 0, onRow);
  SendMessageW(top, WM_LBUTTONDBLCLK, MK_LBUTTON, onRow);
  SendMessageW(top, WM_LBUTTONUP, 0, onRow);
  Pump();
  EXPECT_EQ(Text(History(), id::lblSamples), "Samples of hog.exe");
  const HWND samples = Control(History(), id::grdSamples);
  ASSERT_EQ(Rows(samples), 1);
  EXPECT_EQ(Cell(samples, 0, 4), "55") << "its pid";
}

TEST_F(Win32HistoryTest, SpanButtonsDragAndBackChangeWhatTheGraphsShow) {
  Menu(id::mHistory);
  auto pressed = [this](int index) {
    return SendMessageW(Control(History(), id::cmdSpan_0 + index), BM_GETCHECK, 0, 0) ==
           BST_CHECKED;
  };
  EXPECT_TRUE(pressed(0)) << "a young history opens on the last hour";
  for (int index = 0; index < static_cast<int>(kHistorySpans.size()); ++index) {
    EXPECT_EQ(Text(History(), id::cmdSpan_0 + index),
              kHistorySpans[static_cast<size_t>(index)].caption);
  }
  Click(History(), id::cmdSpan_0 + 2);
  EXPECT_EQ(history->spanIndex, 2);
  EXPECT_EQ(history->viewTo - history->viewFrom, 86400);
  EXPECT_TRUE(pressed(2));
  EXPECT_FALSE(pressed(0));
  Click(History(), id::cmdSpan_0);
  ASSERT_EQ(history->viewTo - history->viewFrom, 3600);
  EXPECT_FALSE(Enabled(History(), id::cmdZoomBack));

  // A drag over the middle half zooms into half an hour; a second one into a quarter of that.
  Drag(0.25, 0.75);
  ASSERT_TRUE(history->Zoomed());
  EXPECT_NEAR(static_cast<double>(history->viewTo - history->viewFrom), 1800, 60);
  EXPECT_TRUE(Enabled(History(), id::cmdZoomBack));
  const int64_t firstZoom = history->viewFrom;
  Drag(0.5, 0.75);
  EXPECT_NEAR(static_cast<double>(history->viewTo - history->viewFrom), 450, 30);
  // A press that hardly moves is a click, not a zoom.
  const int64_t shown = history->viewTo - history->viewFrom;
  Drag(0.5, 0.501);
  EXPECT_EQ(history->viewTo - history->viewFrom, shown);

  Click(History(), id::cmdZoomBack);
  EXPECT_EQ(history->viewFrom, firstZoom);
  Click(History(), id::cmdZoomBack);
  EXPECT_FALSE(history->Zoomed());
  EXPECT_EQ(history->viewTo - history->viewFrom, 3600);
  EXPECT_FALSE(Enabled(History(), id::cmdZoomBack));
}

// Zoomed in to a few minutes, as to a day, the time axis ticks at round times and never shows a
// label twice ("07:17" did, twice, at seven evenly spaced marks).
TEST_F(Win32HistoryTest, TheTimeAxisShowsEachLabelOnceAtRoundTimes) {
  Menu(id::mHistory);
  const struct {
    const char* name;
    double from, to;  // the drag, as fractions of what shows
  } zooms[] = {{"an hour", 0, 0},
               {"half an hour", 0.25, 0.75},
               {"a few minutes", 0.5, 0.6},
               {"under two minutes", 0.5, 0.55}};
  for (const auto& zoom : zooms) {
    SCOPED_TRACE(zoom.name);
    if (zoom.to > zoom.from) Drag(zoom.from, zoom.to);
    UpdateWindow(Graph());
    const std::vector<std::string>& labels = view->TimeLabels();
    ASSERT_FALSE(labels.empty());
    for (size_t i = 1; i < labels.size(); ++i) {
      EXPECT_NE(labels[i], labels[i - 1]) << "a repeated label";
    }
    for (const std::string& label : labels) {
      EXPECT_EQ(label.size(), 5u) << label;  // "hh:mm": each tick on a whole minute
    }
  }
}

TEST_F(Win32HistoryTest, TheRefreshMovesTheSpanOnAndKeepsZoomFilterAndSelection) {
  Menu(id::mHistory);
  Drag(0.25, 0.75);
  ASSERT_TRUE(history->Zoomed());
  Choose(History(), id::cboEventFilter, 1);
  const int row = RowAt(memAlert);
  ASSERT_GE(row, 0);
  SelectListRow(Events(), row);
  const int64_t zoomFrom = history->viewFrom;
  const int64_t spanEnd = history->to;

  // A minute later the window's own timer refreshes it (sooner than a minute here, but not so
  // soon that the next tick is due before the last one is handled).
  clock.Advance(60);
  history->tmrRefresh.intervalMs = 300;
  view->Render();
  ASSERT_TRUE(PumpUntil([&] { return history->to != spanEnd; }, 5000)) << "no refresh";
  EXPECT_EQ(history->to, spanEnd + 60);
  EXPECT_EQ(history->viewFrom, zoomFrom);
  EXPECT_EQ(SendMessageW(Control(History(), id::cboEventFilter), CB_GETCURSEL, 0, 0), 1);
  ASSERT_EQ(history->selectedEventRow, RowAt(memAlert));
  EXPECT_EQ(static_cast<int>(
                SendMessageW(Events(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)),
            history->selectedEventRow);
  EXPECT_TRUE(Enabled(History(), id::cmdZoomBack));

  SendMessageW(History(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(history->visible);
  EXPECT_FALSE(IsWindowVisible(History()));
  EXPECT_FALSE(KillTimer(History(), win32::kRefreshTimer)) << "no refresh while closed";
}

TEST_F(Win32HistoryTest, EscapeAndCtrlWCloseTheWindow) {
  ExpectClosesOnKeysWithTheIcon(History(), id::grdEvents, [this] { Menu(id::mHistory); });
}

TEST_F(Win32HistoryTest, HoveringALongNameNeverChangesTheWindowsSize) {
  Menu(id::mHistory);
  RECT before{};
  GetWindowRect(History(), &before);
  RECT hoverBefore{};
  GetWindowRect(Control(History(), id::lblHover), &hoverBefore);
  const int y = view->PointOf(true, history->viewFrom, 50).y;
  for (const double fraction : {0.1, 0.4, 0.6, 0.9}) Mouse(WM_MOUSEMOVE, X(fraction), y);
  ASSERT_NE(history->lblHover.find(kLongName), std::string::npos) << "the long name is shown";
  EXPECT_EQ(Text(History(), id::lblHover), history->lblHover) << "whole, as plain text";
  RECT after{};
  GetWindowRect(History(), &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  RECT hoverAfter{};
  GetWindowRect(Control(History(), id::lblHover), &hoverAfter);
  EXPECT_TRUE(EqualRect(&hoverBefore, &hoverAfter));
  EXPECT_LE(hoverAfter.right, after.right);
}

TEST_F(Win32HistoryTest, ExportsWriteTheShownSpanAsCsvAndTheGraphsAsPng) {
  Menu(id::mHistory);
  Drag(0.25, 0.75);
  const std::string csv = system.logFolder + "/shown.csv";
  ui.saveResult = csv;
  Click(History(), id::cmdExportCsv);
  ASSERT_EQ(ui.saves.size(), 1u);
  EXPECT_EQ(ui.saves[0].filterPattern, "*.csv");
  const std::string written = ReadFile(csv);
  ASSERT_EQ(written.rfind(CsvHeader(), 0), 0u) << written.substr(0, 200);
  EXPECT_GT(written.size(), CsvHeader().size()) << "the zoom's samples";
  EXPECT_EQ(Text(History(), id::lblNote), "Written to " + csv);

  // Twice, over the file of the first time.
  const std::string png = system.logFolder + "/graphs.png";
  for (int time = 0; time < 2; ++time) {
    ui.saveResult = png;
    Click(History(), id::cmdSavePicture);
    EXPECT_EQ(ui.saves.back().filterPattern, "*.png");
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
    const std::string picture = ReadFile(png);
    ASSERT_GT(picture.size(), 24u);
    EXPECT_EQ(picture.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    RECT area{};
    GetClientRect(Graph(), &area);
    EXPECT_EQ(BigEndian(picture, 16), static_cast<uint32_t>(area.right)) << "width";
    EXPECT_EQ(BigEndian(picture, 20), static_cast<uint32_t>(area.bottom)) << "height";
  }

  // A file that cannot be made is said so, with the system's reason, for both exports.
  for (const int button : {id::cmdSavePicture, id::cmdExportCsv}) {
    ui.messages.clear();
    ui.saveResult = system.logFolder + "/missing/export";
    Click(History(), button);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Cannot write the file " + *ui.saveResult + ": No such file or directory");
  }
}

}  // namespace
}  // namespace tarnwick::testing
