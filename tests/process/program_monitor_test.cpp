// The program monitor on fakes: whole cycles with an injected clock, exact log lines, labels,
// sounds and the alerts handed to the dispatcher.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/text.h"
#include "process_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;
using testing::kMiB;

constexpr int kNotepad = 300;

class ProgramMonitorTest : public testing::ProcessFixture {
 protected:
  void SetUp() override {
    ProcessFixture::SetUp();
    processes.Add(kNotepad, "notepad", 4, 100 * kMiB);
    // Watch notepad: CPU 60%, memory 50%, three samples to an alert, no kill, sound on.
    WriteProgramSettings({" 1 ", "notepad", " 60 ", " 50 ", " 3 ", " 0 ", " 1 ", "/snd/pgm.wav"});
    LoadLoggedIn();
  }

  testing::FakeProcessLister::Proc& Notepad() {
    for (auto& p : processes.procs) {
      if (p.info.pid == kNotepad) return p;
    }
    throw std::logic_error("notepad is not listed");
  }

  // One cycle of the program monitor with notepad at `sharePct` of one processor (four
  // processors: 240 is 60% of the machine) and `megabytes` of working set (of 10,000), then 5 s
  // pass.
  void Cycle(double sharePct, int64_t megabytes) { CycleBytes(sharePct, megabytes * kMiB); }

  void CycleBytes(double sharePct, int64_t workingSetBytes) {
    Notepad().sharePct = sharePct;
    Notepad().info.workingSetBytes = static_cast<uint64_t>(workingSetBytes);
    CycleAsListed();
  }

  // A cycle with the processes as they are listed now.
  void CycleAsListed() {
    control().MonitorProgram();
    clock.Advance(5);
  }

  void RemoveNotepad() {
    std::erase_if(processes.procs, [](const auto& p) { return p.info.pid == kNotepad; });
  }

  ProgramSettings& pgm() { return control().programSettings(); }
};

TEST_F(ProgramMonitorTest, CpuRunCountsOneTwoThreeAlertsOnceAndReportsBackToNormal) {
  for (int i = 0; i < 7; ++i) Cycle(320, 100);
  EXPECT_EQ(Messages(), (Lines{
                            "(Program Monitor) - notepad CPU 80% exceed 60% 1 times",
                            "(Program Monitor) - notepad CPU 80% exceed 60% 2 times",
                            "(Program Monitor) - notepad CPU 80% exceed 60% 3 times",
                            "(Program Monitor) - notepad CPU 80% exceed 60% 1 times",
                            "(Program Monitor) - notepad CPU 80% exceed 60% 2 times",
                            "(Program Monitor) - notepad CPU 80% exceed 60% 3 times",
                            "(Program Monitor) - notepad CPU 80% exceed 60% 1 times",
                        }));
  EXPECT_EQ(SentTexts(),
            Lines{"2026-12-04 10:15:17 WEB01 - notepad CPU 80% exceed 60% for 10 sec.(3 times)"});
  EXPECT_EQ(sender.sent[0].recipients, "+1 5550100");
  EXPECT_EQ(sound.played.size(), 7u) << "every exceeding sample, and no extra one for a CPU alert";
  EXPECT_EQ(model->pgmCPU.caption, "80%");
  EXPECT_EQ(model->pgmCPU_count.caption, "1");
  EXPECT_EQ(model->Label6[0].caption, "notepad");
  EXPECT_EQ(model->Label6[2].caption, "notepad");
  EXPECT_EQ(model->pgmMEM.caption, "1%");
  EXPECT_EQ(model->pgmMEM_Count.caption, "0");

  Cycle(40, 100);
  EXPECT_TRUE(Messages().empty()) << "the notice itself is not logged";
  ASSERT_EQ(sender.sent.size(), 2u);
  EXPECT_EQ(sender.sent[1].message,
            "2026-12-04 10:15:42 notepad CPU usage back to normal. Now notepad CPU usage is 10%. "
            "CPU threshold setting is 60% for 3 times");
  EXPECT_EQ(model->pgmCPU_count.caption, "0");

  Cycle(40, 100);
  EXPECT_EQ(sender.sent.size(), 2u) << "one notice per alert";
}

TEST_F(ProgramMonitorTest, MemoryAlertPlaysTheSoundTwiceInItsCycle) {
  pgm().pgmAlertSetF = 2;
  Cycle(4, 6000);
  EXPECT_EQ(sound.played, Lines{"/snd/pgm.wav"});
  Cycle(4, 6000);
  EXPECT_EQ(sound.played, (Lines{"/snd/pgm.wav", "/snd/pgm.wav", "/snd/pgm.wav"}));
  EXPECT_EQ(Messages(), (Lines{
                            "(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% for 1 "
                            "times",
                            "(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% for 2 "
                            "times",
                        }));
  EXPECT_EQ(SentTexts(), Lines{"2026-12-04 10:15:12 WEB01 - notepad MEMORY usage 6000M(60%) "
                               "exceed 50% for 5 sec.(2 times)."});
  EXPECT_EQ(model->pgmMEM.caption, "60%");
  EXPECT_EQ(model->pgmMEM_Count.caption, "0");

  Cycle(4, 1234);
  ASSERT_EQ(sender.sent.size(), 2u);
  EXPECT_EQ(sender.sent[1].message,
            "2026-12-04 10:15:17 notepad Memory usage back to normal. Now notepad Memory usage is "
            "1234M(12.3%).Memory threshold setting is 50% for 2 times");
}

TEST_F(ProgramMonitorTest, SharesAreRoundedAsTheLabelsShowThem) {
  pgm().pgmAlertSetF = 100;
  pgm().pgmSoundF = 0;
  const struct {
    double sharePct;  // of one processor, four processors
    int64_t bytes;    // working set
    const char* cpu;  // pgmCPU
    const char* mem;  // pgmMEM
    bool cpuExceeds;  // at 60%
    bool memExceeds;  // at 50%
  } cases[] = {
      {49.84, 100 * kMiB, "12%", "1%", false, false},  // 12.46 to 12.5, then to the even 12
      {53.84, 100 * kMiB, "14%", "1%", false, false},  // 13.46 to 13.5, then to the even 14
      {240, 5000 * kMiB, "60%", "50%", true, true},    // equal to the threshold exceeds
      {236, 4999 * kMiB + kMiB / 2, "59%", "50%", false, true},  // 4999.5 MB is 5000 (even)
      {0, 3 * 1024 * kMiB, "0%", "30.7%", false, false},         // 3 GiB is measured, 64-bit
      {0, 1025 * kMiB, "0%", "10.2%", false, false},             // 10.25 to the even tenth
      {0, 1025 * kMiB + kMiB / 2, "0%", "10.3%", false, false},  // 1026 MB, 10.26
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mem);
    CycleBytes(c.sharePct, c.bytes);
    EXPECT_EQ(model->pgmCPU.caption, c.cpu);
    EXPECT_EQ(model->pgmMEM.caption, c.mem);
    const int cpuCount = control().programMonitor().cpuWatch().count;
    const int memCount = control().programMonitor().memWatch().count;
    EXPECT_EQ(cpuCount > 0, c.cpuExceeds);
    EXPECT_EQ(memCount > 0, c.memExceeds);
    control().ResetForStart(false);
  }
}

TEST_F(ProgramMonitorTest, ProgramNotRunningShowsNotFoundAndKeepsItsCounts) {
  Cycle(320, 6000);
  Messages();
  RemoveNotepad();
  CycleAsListed();
  EXPECT_EQ(model->Label6[0].caption, "notepad not found");
  EXPECT_EQ(model->Label6[2].caption, "notepad not found");
  EXPECT_EQ(model->pgmCPU.caption, "--");
  EXPECT_EQ(model->pgmMEM.caption, "--");
  EXPECT_EQ(model->pgmCPU_count.caption, "-");
  EXPECT_EQ(model->pgmMEM_Count.caption, "-");
  EXPECT_TRUE(Messages().empty());

  processes.Add(kNotepad, "notepad", 320, 6000 * kMiB);
  Cycle(320, 6000);
  EXPECT_EQ(model->pgmCPU_count.caption, "2");
  EXPECT_EQ(model->pgmMEM_Count.caption, "2");
}

TEST_F(ProgramMonitorTest, CpuAlertTerminatesTheProgramAndTheFramesSayKilledThenNotFound) {
  pgm().pgmKillF = 1;
  Cycle(320, 100);
  Cycle(320, 100);
  Messages();
  Cycle(320, 100);
  EXPECT_EQ(Messages(), (Lines{"(Program Monitor) - notepad CPU 80% exceed 60% 3 times",
                               "(Program killed) - notepad is killed successfully on monitoring "
                               "notepad CPU usage higher than 60%"}));
  ASSERT_EQ(killer.calls.size(), 1u);
  EXPECT_EQ(killer.calls[0].pid, kNotepad);
  EXPECT_EQ(killer.calls[0].startTicks, static_cast<uint64_t>(kNotepad));
  EXPECT_EQ(SentTexts(), Lines{"2026-12-04 10:15:17 WEB01 - notepad CPU 80% exceed 60% for 10 "
                               "sec.(3 times) notepad has been killed (success)"});
  EXPECT_EQ(model->Label6[0].caption, "notepad killed");
  EXPECT_EQ(model->pgmCPU.caption, "--");
  EXPECT_EQ(model->pgmCPU_count.caption, "0");
  // A terminated process may stay listed until its parent collects it: it is not the program.
  EXPECT_EQ(model->Label6[2].caption, "notepad not found");

  Cycle(320, 100);
  EXPECT_EQ(model->Label6[0].caption, "notepad not found");
  EXPECT_EQ(killer.calls.size(), 1u);
}

TEST_F(ProgramMonitorTest, MemoryTerminationKeepsKilledInTheMemoryFrame) {
  pgm().pgmKillF = 1;
  pgm().pgmAlertSetF = 1;
  Cycle(4, 6000);
  EXPECT_EQ(Messages(), (Lines{"(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% "
                               "for 1 times",
                               "(Program killed) - notepad is killed successfully on monitoring "
                               "notepad MEMORY usage higher than 50%"}));
  EXPECT_EQ(SentTexts(),
            Lines{"2026-12-04 10:15:07 WEB01 - notepad MEMORY usage 6000M(60%) "
                  "exceed 50% for 0 sec.(1 times). notepad has been killed (success)"});
  EXPECT_EQ(model->Label6[2].caption, "notepad killed");
  EXPECT_EQ(model->pgmMEM.caption, "--");
  EXPECT_EQ(model->pgmMEM_Count.caption, "0");

  RemoveNotepad();
  CycleAsListed();
  CycleAsListed();
  EXPECT_EQ(model->Label6[0].caption, "notepad not found");
  EXPECT_EQ(model->Label6[2].caption, "notepad killed") << "until the program runs again";

  processes.Add(kNotepad + 1, "notepad", 4, 100 * kMiB);
  control().MonitorProgram();
  EXPECT_EQ(model->Label6[2].caption, "notepad");
}

TEST_F(ProgramMonitorTest, FailedTerminationIsReportedAndTheAlertStillGoesOut) {
  pgm().pgmKillF = 1;
  pgm().pgmAlertSetF = 1;
  killer.result = false;
  Cycle(4, 6000);
  EXPECT_EQ(Messages().back(),
            "(Program killed failure) - notepad is killed UNSUCCESSFULLY on monitoring notepad "
            "MEMORY usage higher than 50%");
  EXPECT_EQ(SentTexts(), Lines{"2026-12-04 10:15:07 WEB01 - notepad MEMORY usage 6000M(60%) "
                               "exceed 50% for 0 sec.(1 times). notepad has been killed (fail)"});
  EXPECT_EQ(model->Label6[2].caption, "notepad");
}

// A watch counts the samples of one process, not of a name. Two runs of notepad: the first one
// exceeds twice on both resources, then the second one (later in the list) is measured; its
// first sample starts its own count at 1 instead of completing the first one's run.
TEST_F(ProgramMonitorTest, CountsBelongToTheProcessNotToTheName) {
  constexpr int kNamesake = kNotepad + 1;
  const struct {
    const char* what;
    bool killOnAlert;  // the CPU step terminates the first run when its count completes
    Lines thirdCycle;
    size_t alerts;
  } cases[] = {
      {"the CPU step terminates the first run",
       true,
       {"(Program Monitor) - notepad CPU 80% exceed 60% 3 times",
        "(Program killed) - notepad is killed successfully on monitoring notepad CPU usage "
        "higher than 60%",
        "(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% for 1 times"},
       1},
      {"the first run ended",
       false,
       {"(Program Monitor) - notepad CPU 80% exceed 60% 1 times",
        "(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% for 1 times"},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UseProcessControl();
    LoadLoggedIn();
    killer.calls.clear();
    sender.sent.clear();
    processes.procs.clear();
    processes.Add(kNotepad, "notepad", 320, 6000 * kMiB);
    processes.Add(kNamesake, "notepad", 320, 6000 * kMiB);
    pgm().pgmSoundF = 0;
    pgm().pgmKillF = c.killOnAlert ? 1 : 0;
    CycleAsListed();
    CycleAsListed();
    Messages();
    if (!c.killOnAlert) RemoveNotepad();
    CycleAsListed();
    EXPECT_EQ(Messages(), c.thirdCycle);
    EXPECT_EQ(sender.sent.size(), c.alerts) << ::testing::PrintToString(SentTexts());
    ASSERT_EQ(killer.calls.size(), c.alerts);
    if (c.alerts > 0) {
      EXPECT_EQ(killer.calls[0].pid, kNotepad);
    }
    EXPECT_EQ(control().programMonitor().memWatch().process.pid, kNamesake);
    EXPECT_EQ(model->pgmMEM_Count.caption, "1");

    // The namesake's own run completes at its third sample.
    CycleAsListed();
    CycleAsListed();
    ASSERT_FALSE(sender.sent.empty());
    EXPECT_TRUE(Contains(sender.sent.back().message,
                         " - notepad MEMORY usage 6000M(60%) exceed 50% for 10 sec.(3 times)."))
        << sender.sent.back().message;
    if (c.killOnAlert) {
      EXPECT_EQ(killer.calls.back().pid, kNamesake);
    }
  }
}

// The watch passes over the system's pseudo processes by their mark, never by name: on Linux a
// program called "System" or "Idle" is watched like any other.
TEST_F(ProgramMonitorTest, PseudoProcessesAreSkippedByTheirMarkNotByTheirName) {
  const struct {
    const char* name;
    bool pseudo;
    const char* frame;  // Label6 of the CPU and of the memory frame
  } cases[] = {
      {"System", false, "system"},
      {"Idle", false, "idle"},
      {"_Total", false, "_total"},
      {"System", true, "system not found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.pseudo ? " (pseudo)" : ""));
    processes.procs.clear();
    processes.Add(4, c.name, 320, 6000 * kMiB);
    processes.procs.back().info.pseudoProcess = c.pseudo;
    pgm().pgmNameF = ToLower(c.name);
    CycleAsListed();
    EXPECT_EQ(model->Label6[0].caption, c.frame);
    EXPECT_EQ(model->Label6[2].caption, c.frame);
  }
}

// Lists like the fake lister, but leaves notepad out of every scan after the first `visible`.
class VanishingLister final : public IProcessLister {
 public:
  VanishingLister(IProcessLister& inner, int visible) : inner_(inner), visible_(visible) {}
  bool Snapshot(ProcessSnapshot& snapshot) override {
    if (!inner_.Snapshot(snapshot)) return false;
    if (++scans_ > visible_) {
      std::erase_if(snapshot.processes, [](const ProcessInfo& p) { return p.name == "notepad"; });
    }
    return true;
  }

 private:
  IProcessLister& inner_;
  int visible_;
  int scans_ = 0;
};

TEST_F(ProgramMonitorTest, ProgramGoneAtTerminationTimeIsLoggedAndTheAlertCarriesNoKill) {
  // The cycle's two scans see notepad; the lookup before the termination does not.
  VanishingLister lister(processes, 2);
  UseProcessControl(&lister);
  LoadLoggedIn();
  pgm().pgmKillF = 1;
  pgm().pgmAlertSetF = 1;
  Cycle(320, 6000);
  EXPECT_EQ(Messages(),
            (Lines{"(Program Monitor) - notepad CPU 80% exceed 60% 1 times",
                   "Unable to get process ID for program notepad for CPU exceed threhold",
                   "(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% for 1 times",
                   "Unable to get process ID to kill program notepad for MEMORY exceed threhold"}));
  EXPECT_EQ(SentTexts(),
            (Lines{"2026-12-04 10:15:07 WEB01 - notepad CPU 80% exceed 60% for 0 sec.(1 times)",
                   "2026-12-04 10:15:07 WEB01 - notepad MEMORY usage 6000M(60%) exceed 50% for 0 "
                   "sec.(1 times)."}));
  EXPECT_TRUE(killer.calls.empty());
}

TEST_F(ProgramMonitorTest, NoticesNeedCreditsALoginAndAlertsSwitchedOn) {
  pgm().pgmAlertSetF = 1;
  pgm().pgmSoundF = 0;
  engine->session.credits = " 0 ";
  Cycle(320, 100);
  EXPECT_EQ(Messages().back(), "No enough credits to send alert message");
  Cycle(4, 100);
  EXPECT_EQ(
      Messages(),
      Lines{"No enough credits to send program notepad CPU usage back to normal alert message"});
  pgm().pgmCPUsetF = 100;
  Cycle(4, 6000);
  Cycle(4, 100);
  EXPECT_EQ(Messages().back(),
            "No enough credits to send program notepad Memory usage back to normal alert message");
  EXPECT_TRUE(sender.sent.empty());

  engine->session.credits = "credits";
  Cycle(4, 6000);
  EXPECT_EQ(Messages().back(), "No enough credits to send alert message")
      << "a caption that is not a number counts as none";

  engine->session.credits = "3";
  Cycle(4, 100);
  engine->session.loggedIn = false;
  Cycle(4, 6000);
  Cycle(4, 100);
  engine->session.loggedIn = true;
  engine->settings.Enable_alert = 0;
  Cycle(4, 6000);
  EXPECT_EQ(Messages(), (Lines{"(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% "
                               "for 1 times",
                               "(Program Monitor) - notepad Memory usage 6000M(60%) exceed 50% "
                               "for 1 times"}))
      << "logged out or alerts off: nothing sent and no line about it";
  ASSERT_EQ(sender.sent.size(), 1u);
  EXPECT_NE(sender.sent[0].message.find("Memory usage back to normal"), std::string::npos);
}

TEST_F(ProgramMonitorTest, StartButtonClearsAlertFlagsAndLabelsOtherStartsOnlyTheCounts) {
  pgm().pgmAlertSetF = 2;
  Cycle(320, 6000);
  Cycle(320, 6000);  // both alerts raised
  Cycle(320, 6000);  // counts 1
  ASSERT_EQ(sender.sent.size(), 2u);

  engine->SwitchMonitoring(true, MonitoringSwitch::Login);  // as after a login reply
  EXPECT_EQ(control().programMonitor().cpuWatch().count, 0);
  EXPECT_TRUE(control().programMonitor().cpuWatch().startTime.empty());
  EXPECT_EQ(model->pgmCPU_count.caption, "1") << "this start leaves the labels";
  Cycle(4, 100);
  EXPECT_EQ(sender.sent.size(), 4u) << "both alerts were still pending a notice";

  Cycle(320, 6000);
  Cycle(320, 6000);          // alerts again
  model->OnCommand1Click();  // Stop
  model->OnCommand1Click();  // Start
  EXPECT_FALSE(control().programMonitor().cpuWatch().notified);
  EXPECT_FALSE(control().programMonitor().memWatch().notified);
  EXPECT_EQ(model->pgmCPU.caption, "0%");
  EXPECT_EQ(model->pgmMEM.caption, "0%");
  EXPECT_EQ(model->pgmCPU_count.caption, "0");
  EXPECT_EQ(model->pgmMEM_Count.caption, "0");
  Cycle(4, 100);
  EXPECT_EQ(sender.sent.size(), 6u) << "no notice after the Start button";
}

TEST_F(ProgramMonitorTest, MainWindowCycleRunsTheWatchOnlyWhileItIsOn) {
  engine->settings.TimeInterval = "1";
  engine->cycleCountdown = 1;
  Notepad().sharePct = 320;
  model->OnTmrUpdateTick();
  EXPECT_EQ(model->pgmCPU_count.caption, "1");

  pgm().pgmMonitorF = 0;
  model->OnTmrUpdateTick();
  EXPECT_EQ(model->pgmCPU_count.caption, "1");
  EXPECT_EQ(control().programMonitor().cpuWatch().count, 1);
}

// Switched off and on again in its dialog, the watch measures the CPU share afresh, not over the
// time it was off, in which notepad burned four processors for an hour.
TEST_F(ProgramMonitorTest, SwitchedOnAgainInItsDialogTheShareIsNotMeasuredOverThePause) {
  pgm().pgmAlertSetF = 100;
  Cycle(40, 100);
  ASSERT_EQ(model->pgmCPU.caption, "10%");
  PgmSetupModel& dialog = (*model->pgmSETUP());
  for (const int16_t on : {int16_t{0}, int16_t{1}}) {
    dialog.Show();
    dialog.pgmMonitorF.value = on;
    dialog.pgmMonitorF_Click();
    dialog.pgmSave_Click();
    if (on == 0) {
      clock.Advance(3600);
      Notepad().info.cpuTimeNs += 4 * 3600ull * 1'000'000'000;
    }
  }
  Cycle(40, 100);
  EXPECT_EQ(model->pgmCPU.caption, "10%");
}

TEST_F(ProgramMonitorTest, ExampleNameMatchesNoProcess) {
  std::filesystem::remove(system.programFolder + "/pgmsetting.ini");
  UseProcessControl();
  model->OnLoad();
  // A running firefox is not watched under the example name.
  pgm().pgmMonitorF = 1;
  control().MonitorProgram();
  EXPECT_EQ(model->Label6[0].caption, "firefox (*example) not found");
  EXPECT_EQ(model->Label6[2].caption, "firefox (*example) not found");
}

}  // namespace
}  // namespace tarnwick
