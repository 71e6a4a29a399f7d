// The process the Processes window marks is the one the killer would terminate at an alert now:
// over the kill switch, both kill modes, num_Kill, a service account and the program itself, the
// mark, the engine's pick and the termination of the same samples give one answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "engine/process_control.h"
#include "process/process_fixture.h"
#include "processes/processes_window_model.h"
#include "support/recording_listener.h"

namespace tarnwick {
namespace {

class KillPickTest : public testing::ProcessFixture {
 protected:
  testing::RecordingListener decisions;
  std::unique_ptr<ProcessesWindowModel> window;

  void TearDown() override {
    if (engine != nullptr && window) engine->Unlisten(window.get());
    if (engine != nullptr) engine->Unlisten(&decisions);
  }

  // The engine with process control on the fakes (firefox, pid 200, on top; svchost, pid 100,
  // under it), the window open and listening.
  void Start() {
    UseProcessControl();
    window = std::make_unique<ProcessesWindowModel>(engine->processSampler(), *engine,
                                                    system.suffix, nullptr);
    engine->Listen(window.get());
    engine->Listen(&decisions);
    Load();
    Settings& s = engine->settings;
    s.num_High = "10";  // no alert during the case
    s.KillProc = 1;
    s.Killopt = false;
    s.PnameList.clear();
    s.num_Kill = "2";
    window->Show();
    clock.Advance(5);
  }

  bool Marked(size_t table, int pid) const {
    const auto& rows = window->tables[table].rows;
    return std::any_of(rows.begin(), rows.end(),
                       [pid](const ProcessRow& r) { return r.marked && r.pid == pid; });
  }
};

TEST_F(KillPickTest, TheMarkIsTheKillersAnswer) {
  system.suffix = "";
  const struct {
    const char* name;
    std::function<void()> rules;
    KillReason reason;
  } cases[] = {
      {"terminating off", [this] { engine->settings.KillProc = 0; }, KillReason::KillOff},
      {"kill unless listed, nothing listed", [] {}, KillReason::Terminates},
      {"a namesake of the program", [this] { system.ownName = "firefox"; }, KillReason::Terminates},
      {"kill unless listed, its name listed",
       [this] { engine->settings.PnameList = "sshd,firefox"; }, KillReason::Listed},
      {"kill only listed, its name listed",
       [this] {
         engine->settings.Killopt = true;
         engine->settings.PnameList = "firefox";
       },
       KillReason::Terminates},
      {"kill only listed, another name listed",
       [this] {
         engine->settings.Killopt = true;
         engine->settings.PnameList = "sshd";
       },
       KillReason::NotListed},
      {"on top fewer times than num_Kill", [this] { engine->settings.num_Kill = "3"; },
       KillReason::TooFewTimes},
      {"num_Kill not a whole number", [this] { engine->settings.num_Kill = "two"; },
       KillReason::TooFewTimes},
      {"a service account's process",
       [this] {
         for (auto& p : processes.procs) p.info.systemAccount = true;
       },
       KillReason::ServiceAccount},
      {"a service account's process, kill only listed",
       [this] {
         for (auto& p : processes.procs) p.info.systemAccount = true;
         engine->settings.Killopt = true;
         engine->settings.PnameList = "firefox";
       },
       KillReason::Terminates},
      // The program's own pid is its identity from the start (see the loop).
      {"the program itself", [] {}, KillReason::OwnProgram},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    system.ownName = "tarnwick";
    system.ownPid = c.reason == KillReason::OwnProgram ? 200 : 4242;
    Start();
    c.rules();
    Cycle(93, 91);
    Cycle(93, 91);
    killer.calls.clear();

    const bool terminates = c.reason == KillReason::Terminates;
    for (const Watch watch : {Watch::Cpu, Watch::Memory}) {
      const bool isCpu = watch == Watch::Cpu;
      SCOPED_TRACE(isCpu ? "CPU" : "memory");
      const KillVerdict pick = decisions.LatestPick(watch);
      EXPECT_EQ(pick.reason, c.reason)
          << pick.timesOnTop << "/" << pick.samples << " " << pick.candidate.name;
      EXPECT_EQ(pick.candidate.pid, 200);
      EXPECT_EQ(
          Marked(isCpu ? ProcessesWindowModel::kCpuTable : ProcessesWindowModel::kMemoryTable, 200),
          terminates);
      // The alert's termination over the very same samples.
      KillResults results;
      engine->processControl()->KillTopProcess(
          isCpu ? engine->ranking.cpuTopList : engine->ranking.memTopList,
          engine->settings.KillProc, results);
      EXPECT_EQ(results.killTried, terminates);
    }
    EXPECT_EQ(killer.calls.size(), terminates ? 2u : 0u);
    engine->Unlisten(window.get());
    engine->Unlisten(&decisions);
    decisions = {};
  }
}

}  // namespace
}  // namespace tarnwick
