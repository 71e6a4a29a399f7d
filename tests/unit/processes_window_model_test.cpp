// The Processes window's model on the main window's fakes: what it costs closed and open, the
// lists by CPU and by memory with their sorting, and the process the kill rule would pick.
#include "processes/processes_window_model.h"

#include <gtest/gtest.h>

#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

class NumberedUsers final : public IUserNames {
 public:
  std::string UserName(int64_t uid) override {
    return uid < 0 ? std::string() : "user" + std::to_string(uid);
  }
};

class ProcessesWindowTest : public ModelFixture {
 protected:
  NumberedUsers users;
  std::unique_ptr<ProcessesWindowModel> window;

  void TearDown() override { engine->Unlisten(window.get()); }
  int changes = 0;

  void SetUp() override {
    ModelFixture::SetUp();
    processes.procs[1].info.uid = 1000;  // firefox; svchost has no user id
    Open();
  }

  // The window on the engine, naming processes with the system's suffix.
  void Open() {
    if (window) engine->Unlisten(window.get());
    window = std::make_unique<ProcessesWindowModel>(engine->processSampler(), *engine,
                                                    system.suffix, &users);
    engine->Listen(window.get());
    window->changed = [this] { ++changes; };
  }

  const ProcessTable& Cpu() const { return window->tables[ProcessesWindowModel::kCpuTable]; }
  const ProcessTable& Memory() const { return window->tables[ProcessesWindowModel::kMemoryTable]; }
  static std::vector<int> Pids(const ProcessTable& table) {
    std::vector<int> pids;
    for (const ProcessRow& row : table.rows) pids.push_back(row.pid);
    return pids;
  }
  static std::vector<int> Marked(const ProcessTable& table) {
    std::vector<int> pids;
    for (const ProcessRow& row : table.rows) {
      if (row.marked) pids.push_back(row.pid);
    }
    return pids;
  }
};

TEST_F(ProcessesWindowTest, ClosedItScansNothingOpenItSharesTheCyclesOneScan) {
  Load();
  for (int i = 0; i < 3; ++i) Cycle(20, 50);
  EXPECT_EQ(processes.scans, 0) << "closed, and no sample over a threshold";

  window->Show();
  EXPECT_EQ(processes.scans, 1) << "the latest cycle's scan, taken once";
  for (int i = 0; i < 3; ++i) Cycle(20, 50);
  EXPECT_EQ(processes.scans, 4) << "one scan a cycle";
  EXPECT_EQ(changes, 3);
  for (int i = 0; i < 2; ++i) Cycle(93, 91);
  EXPECT_EQ(processes.scans, 6) << "the rankings use the same scan";
  EXPECT_TRUE(clock.sleptMs.empty()) << "the ranking found the previous cycle's scan: no pause";

  window->OnClose();
  for (int i = 0; i < 3; ++i) Cycle(20, 50);
  EXPECT_EQ(processes.scans, 6);
  EXPECT_EQ(changes, 5);
}

TEST_F(ProcessesWindowTest, ListsShowTheTopProcessesByCpuAndByMemory) {
  processes.procs[0].info.nameClaimed = true;  // svchost's executable could not be read
  Load();
  window->Show();
  clock.Advance(5);
  EXPECT_TRUE(Cpu().rows.empty()) << "no interval to measure CPU over yet";
  EXPECT_EQ(window->lblNote,
            "CPU shares are measured between two monitor cycles: they come with the next one.");
  EXPECT_EQ(Pids(Memory()), (std::vector<int>{200, 100}));

  Cycle(20, 50);
  EXPECT_EQ(window->lblNote, "");
  ASSERT_EQ(Pids(Cpu()), (std::vector<int>{200, 100}));
  const struct {
    const ProcessTable& table;
    size_t row;
    std::array<std::string, 5> cells;
  } cases[] = {
      {Cpu(), 0, {"200", "user1000", "firefox", "40.0", "1536.4"}},
      {Cpu(), 1, {"100", "", "svchost [claimed name]", "10.0", "200.0"}},
      {Memory(), 0, {"200", "user1000", "firefox", "40.0", "1536.4"}},
  };
  for (const auto& c : cases) {
    for (size_t col = 0; col < c.cells.size(); ++col) {
      EXPECT_EQ(c.table.rows[c.row].cells[col], c.cells[col]) << c.row << "," << col;
    }
  }

  model->OnCommand1Click();  // Stop
  window->Show();
  EXPECT_EQ(window->lblNote, "Monitoring is stopped: the lists are those of the last scan.");
}

TEST_F(ProcessesWindowTest, HeadingsSortAndTurnTheOrderRound) {
  Load();
  // Names sort whatever their case: "Xorg" after "firefox" and "svchost".
  processes.Add(300, "Xorg", 10, 500 * kMiB);
  window->Show();
  clock.Advance(5);
  Cycle(20, 50);
  ASSERT_EQ(Pids(Cpu()), (std::vector<int>{200, 100, 300})) << "CPU, highest first";
  const struct {
    ProcessColumn column;
    std::vector<int> first;
    std::vector<int> second;
  } cases[] = {
      {ProcessColumn::Name, {200, 100, 300}, {300, 100, 200}},
      {ProcessColumn::Pid, {100, 200, 300}, {300, 200, 100}},
      {ProcessColumn::Memory, {200, 300, 100}, {100, 300, 200}},
      {ProcessColumn::User, {100, 300, 200}, {200, 300, 100}},
  };
  for (const auto& c : cases) {
    window->OnHeaderClick(ProcessesWindowModel::kCpuTable, static_cast<int>(c.column));
    EXPECT_EQ(Pids(Cpu()), c.first) << static_cast<int>(c.column);
    window->OnHeaderClick(ProcessesWindowModel::kCpuTable, static_cast<int>(c.column));
    EXPECT_EQ(Pids(Cpu()), c.second) << static_cast<int>(c.column);
  }
  Cycle(20, 50);
  EXPECT_EQ(Pids(Cpu()), (std::vector<int>{200, 300, 100})) << "the order stays across cycles";
  EXPECT_EQ(Pids(Memory()), (std::vector<int>{200, 300, 100})) << "each list has its own";
}

TEST_F(ProcessesWindowTest, TheProcessAnAlertNowWouldTerminateIsMarked) {
  system.suffix = ".exe";
  Open();
  Load();
  engine->settings.num_High = "10";  // no alert during the case
  processes.Add(300, "hog", 300, 10 * kMiB);
  processes.Add(301, "hog", 20, 10 * kMiB);  // a namesake of another user's
  window->Show();
  clock.Advance(5);
  Cycle(20, 50);
  EXPECT_TRUE(Marked(Cpu()).empty());
  EXPECT_EQ(Cpu().lblMarked,
            "No process is marked: no sample over the CPU threshold since the last alert or "
            "normal sample.");

  Cycle(93, 50);
  Cycle(93, 50);
  EXPECT_TRUE(Marked(Cpu()).empty()) << "terminating is off";
  EXPECT_EQ(Cpu().rows[0].name, engine->ranking.cpuTopName) << "named as the ranking names it";
  EXPECT_EQ(Cpu().lblMarked,
            "Not marked: hog.exe (pid 300), on top at 2 of the 2 samples over the CPU threshold "
            "since the last alert. Terminating is off in the settings.");
  EXPECT_TRUE(Marked(Memory()).empty()) << "the memory watch has no run of its own";

  // Others lead now; the process most often on top is marked, listed below the top ones.
  processes.procs[2].sharePct = 0;
  for (int pid = 400; pid < 416; ++pid) processes.Add(pid, "worker", 100, kMiB);
  engine->settings.KillProc = 1;
  engine->settings.num_Kill = "2";
  engine->settings.Killopt = false;  // kill unless listed, and nothing is
  Cycle(93, 50);
  ASSERT_EQ(Cpu().rows.size(), ProcessesWindowModel::kRows + 1);
  EXPECT_EQ(Cpu().rows.back().pid, 300);
  EXPECT_TRUE(Cpu().rows.back().marked);
  EXPECT_EQ(
      Cpu().lblMarked,
      "Marked: hog.exe (pid 300), on top at 2 of the 3 samples over the CPU threshold since the "
      "last alert: the process an alert now would terminate.");

  processes.procs.erase(processes.procs.begin() + 2);
  Cycle(93, 50);
  EXPECT_TRUE(Marked(Cpu()).empty());
  EXPECT_EQ(Cpu().lblMarked,
            "hog.exe (pid 300), on top at 2 of the 4 samples over the CPU threshold since the last "
            "alert, has ended: an alert now would terminate nothing.");
  Cycle(20, 50);
  EXPECT_TRUE(Marked(Cpu()).empty()) << "a normal sample ends the run";
}

}  // namespace
}  // namespace tarnwick::testing
