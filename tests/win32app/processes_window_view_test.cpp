// The Win32 Processes window over its model on the main window's fakes: Log > Processes opens it,
// each monitor cycle brings its lists up to date, a heading click sorts in the model, the kill
// rule's pick is marked with its reason, and closed it reads nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "processes/processes_window_model.h"
#include "processes_window.h"
#include "view_fixture.h"

namespace tarnwick::testing {
namespace {

namespace id = win32::id;

class Win32ProcessesTest : public Win32ViewTest {
 protected:
  std::unique_ptr<ProcessesWindowModel> processesModel;
  std::unique_ptr<win32::ProcessesWindow> view;

  void SetUp() override {
    Win32ViewTest::SetUp();
    processes.Add(300, "hog", 300, 10 * kMiB);
    Start(nullptr, [this] {
      processesModel = std::make_unique<ProcessesWindowModel>(engine->processSampler(), *engine,
                                                              system.suffix, nullptr);
      engine->Listen(processesModel.get());
      view = std::make_unique<win32::ProcessesWindow>(*processesModel);
      window->SetProcessesCommand([this] { view->Open(); });
    });
    keyMessage = [this](const MSG& message) { return view->KeyMessage(message); };
    engine->settings.cpu_High = "75";
    engine->settings.mem_High = "85";
    engine->settings.num_High = "3";
    // A kill rule that would terminate the hog at an alert now.
    engine->settings.KillProc = 1;
    engine->settings.Killopt = false;
    engine->settings.PnameList.clear();
    engine->settings.num_Kill = "1";
  }

  void TearDown() override {
    view.reset();
    if (engine != nullptr) engine->Unlisten(processesModel.get());
    processesModel.reset();
    Win32ViewTest::TearDown();
  }

  // One monitor cycle at the given CPU percentage, then 5 s pass.
  void Cycle(int cpuPercent) {
    cpu.busy.push_back(cpuPercent);
    engine->Monitor();
    clock.Advance(5);
    Pump();
  }

  HWND Processes() const { return view->hwnd(); }
  HWND CpuList() const { return Control(Processes(), id::grdCpu); }

  // The tooltip the window gives the list for a row, as the list asks for it.
  std::string RowTip(int row) {
    wchar_t text[256] = {};
    NMLVGETINFOTIPW tip{};
    tip.hdr.hwndFrom = CpuList();
    tip.hdr.idFrom = id::grdCpu;
    tip.hdr.code = LVN_GETINFOTIPW;
    tip.pszText = text;
    tip.cchTextMax = 256;
    tip.iItem = row;
    SendMessageW(Processes(), WM_NOTIFY, id::grdCpu, reinterpret_cast<LPARAM>(&tip));
    return win32::U8(text);
  }
  int SortArrow(int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(CpuList(), LVM_GETHEADER, 0, 0));
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&item));
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  }
};

TEST_F(Win32ProcessesTest, OpensWithinTheWorkAreaAndTheNextRunOpensItWhereItWasLeft) {
  ExpectPlaceKeptAcrossRuns(
      Processes(), kProcessesPlaceName, [this] { Menu(id::mProcesses); },
      [this](WindowPlaces& places) { view->UsePlaces(places); });
}

TEST_F(Win32ProcessesTest, EscapeAndCtrlWCloseTheWindow) {
  ExpectClosesOnKeysWithTheIcon(Processes(), id::grdCpu, [this] { Menu(id::mProcesses); });
}

TEST_F(Win32ProcessesTest, MenuOpensTheListsEachCycleFillsThemAndTheKillRulesPickIsMarked) {
  wchar_t caption[64] = {};
  GetMenuStringW(GetSubMenu(GetMenu(Main()), 1), id::mProcesses, caption, 64, MF_BYCOMMAND);
  EXPECT_EQ(win32::U8(caption), "&Processes");
  Menu(id::mProcesses);
  ASSERT_TRUE(IsWindowVisible(Processes()));
  EXPECT_EQ(win32::WindowTextUtf8(Processes()), "Processes");
  EXPECT_EQ(Text(Processes(), id::lblCpuCaption), "Top processes by CPU");
  EXPECT_EQ(Rows(CpuList()), 0) << "CPU shares come with the next cycle";
  EXPECT_EQ(Text(Processes(), id::lblNote), kSharesNextCycle);

  Cycle(93);
  Cycle(93);
  ASSERT_EQ(Rows(CpuList()), 3);
  EXPECT_EQ(Cell(CpuList(), 0, static_cast<int>(ProcessColumn::Name)), "hog.exe");
  EXPECT_EQ(Cell(CpuList(), 0, static_cast<int>(ProcessColumn::Pid)), "300");
  EXPECT_EQ(SortArrow(static_cast<int>(ProcessColumn::Cpu)), HDF_SORTDOWN);
  for (int row = 0; row < 3; ++row) {
    for (size_t column = 0; column < kProcessColumns.size(); ++column) {
      EXPECT_EQ(Cell(CpuList(), row, static_cast<int>(column)),
                processesModel->tables[ProcessesWindowModel::kCpuTable]
                    .rows[static_cast<size_t>(row)]
                    .cells[column]);
    }
  }
  const HWND memoryList = Control(Processes(), id::grdMemory);
  ASSERT_EQ(Rows(memoryList), 3);
  EXPECT_EQ(Cell(memoryList, 0, static_cast<int>(ProcessColumn::Pid)), "200")
      << "the largest first";
  EXPECT_EQ(Text(Processes(), id::lblCpuMarked).rfind("Marked: hog.exe (pid 300)", 0), 0u)
      << Text(Processes(), id::lblCpuMarked);
  EXPECT_EQ(RowTip(0), "The process an alert now would terminate");
  EXPECT_EQ(RowTip(1), "");
  EXPECT_EQ(Text(Processes(), id::lblNote), "");

  // A click on the PID heading sorts by pid; the marked process stays marked wherever it is.
  ClickHeading(CpuList(), static_cast<int>(ProcessColumn::Pid));
  EXPECT_EQ(processesModel->tables[ProcessesWindowModel::kCpuTable].sortColumn, ProcessColumn::Pid);
  EXPECT_EQ(Cell(CpuList(), 0, static_cast<int>(ProcessColumn::Pid)), "100");
  EXPECT_EQ(Cell(CpuList(), 2, static_cast<int>(ProcessColumn::Pid)), "300");
  EXPECT_EQ(SortArrow(static_cast<int>(ProcessColumn::Pid)), HDF_SORTUP);
  EXPECT_EQ(SortArrow(static_cast<int>(ProcessColumn::Cpu)), 0);
  EXPECT_EQ(RowTip(2), "The process an alert now would terminate");

  SendMessageW(Processes(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(processesModel->visible);
  EXPECT_FALSE(IsWindowVisible(Processes()));
  const int scans = processes.scans;
  Cycle(20);
  EXPECT_EQ(processes.scans, scans) << "closed, it reads nothing";
}

}  // namespace
}  // namespace tarnwick::testing
