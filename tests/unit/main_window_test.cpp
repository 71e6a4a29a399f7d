// The main window's start-up, the three ways of switching monitoring, the cycle timer and the
// tray.
#include <gtest/gtest.h>

#include "model_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

class MainWindowTest : public testing::ModelFixture {};

TEST_F(MainWindowTest, FirstStartLoadsDefaultsAndStartsMonitoringWithoutAnAccount) {
  model->OnLoad();
  EXPECT_EQ(Messages(), (Lines{"Settings folder: " + system.programFolder,
                               "Email account or Password is empty. Please setup the account in "
                               "File > Setup to send alerts",
                               "Monitoring Started"}));
  EXPECT_EQ(model->Label4.caption,
            "Not Login. Email account or password is empty,please goto setup .....");
  EXPECT_EQ(model->Label7.caption, "0");
  EXPECT_FALSE(engine->session.loggedIn);
  EXPECT_TRUE(model->tmrUpdate.enabled);
  EXPECT_TRUE(model->Timer4.enabled);
  EXPECT_FALSE(model->Timer5.enabled);
  EXPECT_EQ(model->Command1.caption, "Stop");
  EXPECT_EQ(model->Command1.backColor, kColorGreen);
  EXPECT_EQ(model->caption, "Tarnwick V4.3 2026-12-04 10:15:07 Running");
  EXPECT_EQ(model->iconPath, system.programFolder + "/eyerun.ico");
  EXPECT_EQ(model->lblTimeinterval.caption, "Monitor cycle on every 5 seconds");
  EXPECT_EQ(model->lblNum.caption, "Send alert on 10 consecutive usage exceed threshold");
  EXPECT_EQ(model->lblNum_count[1].caption, "/10");
  EXPECT_EQ(model->lbl_Threshold[0].caption, "85%");
  EXPECT_EQ(model->lbl_Threshold[1].caption, "85%");
  EXPECT_EQ(engine->settings.host_Name, "WEB01");
  EXPECT_EQ(engine->cycleCountdown, 5);
  EXPECT_EQ(engine->processorCount, 4);
  EXPECT_EQ(engine->totalMemoryMB, 10000);
  EXPECT_EQ(system.priorityRaised, 1);
  EXPECT_TRUE(model->visible);
  // Centred on the 1920x1080 screen.
  EXPECT_EQ(model->geometry.left, (1920 - model->geometry.width) / 2);
  EXPECT_EQ(model->geometry.top, (1080 - model->geometry.height) / 2);
  // The alert dialog was loaded hidden and holds the first-run hints and values.
  EXPECT_EQ(model->alertSetting().state(), FormState::LoadedHidden);
  EXPECT_TRUE(IsHint(model->alertSetting().smsPhone));
  EXPECT_EQ(model->alertSetting().Mail_List, "*Keep Empty if no mail alert need");
  EXPECT_EQ(model->alertSetting().num_Kill, "10");
  EXPECT_TRUE(model->trayAdded);
  EXPECT_EQ(model->Label6[0].caption, "No program monitored");
  // The Start/Stop entry belongs to the tray menu: the window's File menu never shows it.
  EXPECT_FALSE(model->mStart.visible);
}

TEST_F(MainWindowTest, TheButtonStopsAndStartsWithItsLogLinesTrayAndNoticeTimer) {
  Load();
  engine->settings.alive_Email = 1;
  clock.Set(11, 0, 0);
  model->OnCommand1Click();
  EXPECT_EQ(Messages(), Lines{"Monitoring Stopped"});
  EXPECT_FALSE(model->tmrUpdate.enabled);
  EXPECT_FALSE(model->Timer5.enabled);
  EXPECT_EQ(model->Command1.caption, "Start");
  EXPECT_EQ(model->Command1.backColor, kColorRed);
  EXPECT_EQ(model->mStart.caption, "Start");
  EXPECT_EQ(model->caption, "Tarnwick V4.3 2026-12-04 11:00:00 Stopped");
  EXPECT_EQ(model->iconPath, system.programFolder + "/eyestop.ico");
  EXPECT_EQ(model->trayTip, model->caption);
  EXPECT_EQ(model->trayIconPath, model->iconPath);

  engine->cpuWatch.firstTime = "10:59:00";
  engine->cpuWatch.count = 2;
  engine->cpuWatch.raised = engine->cpuWatch.reported = 1;
  model->OnCommand1Click();
  EXPECT_EQ(Messages(), Lines{"Monitoring Started"});
  EXPECT_TRUE(model->tmrUpdate.enabled);
  EXPECT_TRUE(model->Timer5.enabled);
  EXPECT_EQ(engine->cpuWatch.firstTime, "");
  EXPECT_EQ(engine->cpuWatch.count, 0);
  EXPECT_EQ(engine->cpuWatch.reported, 0);
  EXPECT_EQ(model->trayTip, "Tarnwick V4.3 2026-12-04 11:00:00 Running");
}

TEST_F(MainWindowTest, TheTrayMenuEntrySwitchesQuietlyAndKeepsFirstTimes) {
  Load();
  model->OnMStartClick();
  EXPECT_FALSE(model->tmrUpdate.enabled);
  EXPECT_EQ(model->Command1.caption, "Start");
  EXPECT_EQ(model->trayIconPath, system.programFolder + "/eyestop.ico");
  engine->cpuWatch.firstTime = "10:00:00";
  engine->cpuWatch.count = 4;
  model->OnMStartClick();
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(model->tmrUpdate.enabled);
  EXPECT_EQ(engine->cpuWatch.firstTime, "10:00:00");
  EXPECT_EQ(engine->cpuWatch.count, 0);
  EXPECT_FALSE(model->Timer5.enabled);
}

TEST_F(MainWindowTest, SwitchingByLoginLogsStartButLeavesTheTrayAsItWas) {
  Load();
  model->OnCommand1Click();  // stopped; the tray shows the stopped look
  const std::string tip = model->trayTip;
  clock.Set(12, 0, 0);
  engine->SwitchMonitoring(true, MonitoringSwitch::Login);
  EXPECT_EQ(Messages(), (Lines{"Monitoring Stopped", "Monitoring Started"}));
  EXPECT_EQ(model->caption, "Tarnwick V4.3 2026-12-04 12:00:00 Running");
  EXPECT_EQ(model->trayTip, tip);
  engine->SwitchMonitoring(false, MonitoringSwitch::Login);
  EXPECT_TRUE(Messages().empty()) << "switching off by login writes nothing";
  EXPECT_FALSE(model->tmrUpdate.enabled);
}

TEST_F(MainWindowTest, CycleTimerCountsDownTheIntervalAndRestartsAfterTheCycle) {
  Load();
  engine->settings.TimeInterval = "3";
  engine->cycleCountdown = 3;
  model->OnTmrUpdateTick();
  model->OnTmrUpdateTick();
  EXPECT_TRUE(model->lbl_lastTime.caption.empty());
  cpu.busy.push_back(10);
  model->OnTmrUpdateTick();
  EXPECT_EQ(model->lbl_lastTime.caption, "10:15:07 2026-12-04");
  EXPECT_EQ(engine->cycleCountdown, 3);
  EXPECT_TRUE(model->tmrUpdate.enabled);
  EXPECT_EQ(ui.doEvents, 1) << "the cycle let pending events run once";
}

TEST_F(MainWindowTest, StopAndStartWithinACycleKeepTheRunningCountdown) {
  Load();
  engine->cycleCountdown = 5;
  model->OnTmrUpdateTick();
  model->OnCommand1Click();
  model->OnCommand1Click();
  EXPECT_EQ(engine->cycleCountdown, 4);
}

TEST_F(MainWindowTest, IntervalsThatAreNoSixteenBitNumberRunSafely) {
  Load();
  const struct {
    const char* interval;
    int16_t countdownAfterCycle;
  } cases[] = {{"0", 0}, {"-4", -4}, {"abc", 5}, {"70000", 5}, {"2.5", 2}, {"-32768", -32768}};
  for (const auto& c : cases) {
    engine->settings.TimeInterval = c.interval;
    engine->cycleCountdown = 1;
    model->OnTmrUpdateTick();
    EXPECT_EQ(engine->cycleCountdown, c.countdownAfterCycle) << c.interval;
    if (c.countdownAfterCycle < 1) {
      const std::string before = model->lbl_lastTime.caption;
      clock.Advance(1);
      model->OnTmrUpdateTick();
      EXPECT_NE(model->lbl_lastTime.caption, before) << c.interval << " runs on every tick";
      EXPECT_EQ(engine->cycleCountdown, c.countdownAfterCycle);
    }
  }
}

TEST_F(MainWindowTest, AStopClickedWhileTheCycleRunsKeepsTheTimerOff) {
  Load();
  engine->cycleCountdown = 1;
  ui.onDoEvents = [&] { model->OnCommand1Click(); };
  model->OnTmrUpdateTick();
  EXPECT_EQ(model->Command1.caption, "Start");
  EXPECT_FALSE(model->tmrUpdate.enabled);
}

TEST_F(MainWindowTest, FailedCpuRankingStillGivesTheWindowBack) {
  Load();
  processes.fail = true;
  Cycle(99, 10);
  EXPECT_TRUE(model->enabled);
  EXPECT_EQ(model->caption, "12-04 10:15:07 CPU / MEMORY usage 99% / 10%");
  EXPECT_EQ(Messages(), Lines{"CPU 99% exceed 75% for 1 times. TOP 1 :  (%)"});
}

TEST_F(MainWindowTest, MinimisingHidesInTheTrayAndADoubleClickBringsItBackCentred) {
  Load();
  model->trayShown = true;
  model->OnTrayRightClick();
  EXPECT_TRUE(model->mStart.visible);
  EXPECT_TRUE(model->trayMenuRequested);
  model->OnResize(WindowState::Minimized);
  EXPECT_FALSE(model->visible);
  EXPECT_TRUE(model->mStart.visible) << "a minimise leaves the menu entry alone";
  model->geometry.left = model->geometry.top = 0;
  model->OnTrayDoubleClick();
  EXPECT_TRUE(model->visible);
  EXPECT_TRUE(model->foregroundRequested);
  EXPECT_EQ(model->windowState, WindowState::Normal);
  EXPECT_EQ(model->geometry.left, (1920 - model->geometry.width) / 2);
  EXPECT_TRUE(model->mStart.visible) << "stays until the window is next resized";
  model->OnResize(WindowState::Normal);
  EXPECT_FALSE(model->mStart.visible);
}

// The size the user gave the window is its own: a resize hides the tray's Start/Stop entry as a
// change of state does, and the window comes back from the tray centred at that size.
TEST_F(MainWindowTest, AResizeHidesTheTrayEntryAndTheWindowKeepsTheUsersSize) {
  Load();
  model->trayShown = true;
  model->OnTrayRightClick();
  model->OnResize(WindowState::Normal, FormSize{900, 700});
  EXPECT_FALSE(model->mStart.visible);
  EXPECT_EQ(model->geometry.width, 900);
  EXPECT_EQ(model->geometry.height, 700);

  model->OnTrayRightClick();
  model->OnResize(WindowState::Minimized);
  EXPECT_TRUE(model->mStart.visible);
  EXPECT_FALSE(model->visible);
  model->OnTrayDoubleClick();
  EXPECT_EQ(model->geometry.width, 900);
  EXPECT_EQ(model->geometry.height, 700);
  EXPECT_EQ(model->geometry.left, (1920 - 900) / 2);
  EXPECT_EQ(model->geometry.top, (1080 - 700) / 2);
}

TEST_F(MainWindowTest, MinimisingHidesTheWindowOnlyWhileTheTrayShowsItsEntry) {
  const struct {
    bool trayAdded;
    bool trayShown;
    bool hidden;
  } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
  Load();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.trayAdded) + std::to_string(c.trayShown));
    model->visible = true;
    model->trayAdded = c.trayAdded;
    model->trayShown = c.trayShown;
    model->OnResize(WindowState::Minimized);
    EXPECT_EQ(model->windowState, WindowState::Minimized);
    EXPECT_EQ(model->visible, !c.hidden);
  }
}

TEST_F(MainWindowTest, TheBusyLookIsPutOnTheScreenBeforeTheProcessScan) {
  Load();
  struct Shown {
    std::string caption;
    bool enabled;
    int scans;
  };
  std::vector<Shown> shown;
  ui.onShowNow = [&] { shown.push_back({model->caption, model->enabled, processes.scans}); };
  const int scansBefore = processes.scans;
  Cycle(99, 10);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "Waiting to get CPU usage information...");
  EXPECT_FALSE(shown[0].enabled);
  EXPECT_EQ(shown[0].scans, scansBefore) << "the scan ran before the busy look was shown";
  EXPECT_GT(processes.scans, scansBefore);
  EXPECT_TRUE(model->enabled);
  EXPECT_NE(model->caption, "Waiting to get CPU usage information...");
}

TEST_F(MainWindowTest, QuitAndCloseBothRemoveTheTrayIcon) {
  Load();
  model->OnMnuQuitClick();
  EXPECT_FALSE(model->trayAdded);
  EXPECT_TRUE(model->quitRequested);
  model->trayAdded = true;
  model->quitRequested = false;
  model->OnUnload();
  EXPECT_FALSE(model->trayAdded);
  EXPECT_TRUE(model->quitRequested);
}

TEST_F(MainWindowTest, ViewLogOpensTheChosenDailyFile) {
  Load();
  model->OnMViewLogClick();
  ASSERT_EQ(ui.picks.size(), 1u);
  EXPECT_EQ(ui.picks[0].initialFolder, system.logFolder);
  EXPECT_EQ(ui.picks[0].filterDescription, "LOG Files(log*.txt)");
  EXPECT_EQ(ui.picks[0].filterPattern, "Tarnwick_log*.txt");
  EXPECT_TRUE(ui.opened.empty()) << "cancelling opens nothing";
  ui.pickResult = system.logFolder + "/Tarnwick_log_1204.txt";
  model->OnMViewLogClick();
  EXPECT_EQ(ui.opened, std::vector<std::string>{system.logFolder + "/Tarnwick_log_1204.txt"});
}

TEST_F(MainWindowTest, SettingsLiveInTheSettingsFolderWhichTheLogNames) {
  system.settingsFolder = dir / "config";
  std::filesystem::create_directories(system.settingsFolder);
  Settings saved;
  saved.TimeInterval = "7";
  testing::WriteFile(system.settingsFolder + "/setting.ini", FormatSettingFile(saved));
  testing::WriteFile(system.programFolder + "/setting.ini", "99\r\n");
  Rebuild([](DeskDeps&) {});
  model->OnLoad();
  EXPECT_EQ(Messages().front(), "Settings folder: " + system.settingsFolder);
  EXPECT_EQ(engine->settings.TimeInterval, "7");
  // The icons and sounds stay with the program.
  EXPECT_EQ(model->iconPath, system.programFolder + "/eyerun.ico");
}

class FakeAutostart final : public IAutostart {
 public:
  bool enabled = false;
  std::string refusal;  // the reason every change fails with; empty: changes succeed
  bool IsEnabled() override { return enabled; }
  FileResult SetEnabled(bool on) override {
    if (!refusal.empty()) return FileResult::Failure(refusal);
    enabled = on;
    return FileResult::Success();
  }
};

TEST_F(MainWindowTest, StartWithTheSessionTogglesTheEntryAndReportsARefusal) {
  model->OnLoad();
  EXPECT_FALSE(model->mAutostart.visible) << "no item without a session to start with";

  FakeAutostart autostart;
  autostart.enabled = true;
  Rebuild([&autostart](DeskDeps& deps) { deps.autostart = &autostart; });
  model->OnLoad();
  EXPECT_TRUE(model->mAutostart.visible);
  EXPECT_TRUE(model->mAutostart.checked) << "the item shows the entry as it is";

  model->OnMAutostartClick();
  EXPECT_FALSE(autostart.enabled);
  EXPECT_FALSE(model->mAutostart.checked);

  autostart.refusal = "Read-only file system";
  model->OnMAutostartClick();
  EXPECT_FALSE(model->mAutostart.checked);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Could not change the start with the desktop session: Read-only file system");
  EXPECT_EQ(ui.messages[0].title, "Tarnwick");
}

}  // namespace
}  // namespace tarnwick
