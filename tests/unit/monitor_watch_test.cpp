// The two watches of the monitor cycle, driven through whole cycles with exact log texts.
#include <gtest/gtest.h>

#include "model_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;
using testing::kMiB;
using testing::RecordingAlertSender;

class WatchTest : public testing::ModelFixture {};

TEST_F(WatchTest, CpuRunAlertsOnceThenLogsRepeatsThenReportsBackToNormal) {
  Load();
  Cycle(93, 50);
  Cycle(93, 50);
  Cycle(93, 50);
  EXPECT_EQ(Messages(),
            (Lines{"CPU 93% exceed 75% for 1 times. TOP 1 : firefox (40%)",
                   "CPU 93% exceed 75% for 2 times. TOP 1 : firefox (40%)",
                   "CPU 93% exceed 75% for 3 times. TOP 1 : firefox (40%)",
                   "Not Login alert message [12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 "
                   "sec.(3 times).TOP1 : firefox 40% @10:15:07 *firefox(3)] can not be sent "
                   "out, please login.."}));
  EXPECT_EQ(model->lblCPU_count.caption, "3") << "the count label keeps N until the next sample";
  EXPECT_EQ(model->lblCPUValue[0].foreColor, kColorRed);

  Cycle(95, 50);
  EXPECT_EQ(model->lblCPU_count.caption, "1");
  Cycle(95, 50);
  Cycle(95, 50);
  EXPECT_EQ(Messages().back(),
            "12-04 10:15:32 WEB01 CPU 95% exceed 75% for 10 sec.(3 times).TOP1 : firefox 40% "
            "@10:15:22 *firefox(3) (Not first time,log only)");

  Cycle(20, 50);
  EXPECT_EQ(Messages(), (Lines{"CPU 20% back to normal",
                               "Not login alert message [2026-12-04 10:15:37 WEB01 CPU 20% back "
                               "to normal.CPU threshold setting is 75% for 3 consecutive "
                               "times] can not be sent out, please login.."}));
  EXPECT_EQ(model->lblCPU_count.caption, "0");
  EXPECT_EQ(model->lblCPUValue[0].foreColor, kColorBlack);
  EXPECT_EQ(engine->cpuWatch.reported, 0);
}

TEST_F(WatchTest, MemoryRunQuotesThePeakInMegabytesAndItsShare) {
  system.suffix = ".exe";
  Load();
  engine->settings.num_High = "2";
  Cycle(10, 91);
  Cycle(10, 91);
  EXPECT_EQ(Messages(),
            (Lines{"MEM 91% exceed 85% for 1 times. TOP 1 : firefox.exe (1536.4M)",
                   "MEM 91% exceed 85% for 2 times. TOP 1 : firefox.exe (1536.4M)",
                   "Not login alert message [12-04 10:15:12 WEB01 MEMORY 91% exceed 85% for 5 "
                   "sec.(2 times).TOP1 : firefox.exe 1536.4M(15.4%) @10:15:07 *firefox.exe(2)] "
                   "can not be sent out, please login.."}));
  EXPECT_TRUE(engine->ranking.memTopList.empty());
  EXPECT_EQ(engine->ranking.memPeakSize, "0");
  Cycle(10, 50);
  EXPECT_EQ(Messages().front(), "MEM 50% back to normal");
}

// A process whose executable could not be read is named by what it calls itself, which it may
// have chosen: the log says so, the alert keeps the bare name.
TEST_F(WatchTest, ANameTheProcessClaimsIsMarkedSoInTheExceedLines) {
  Load();
  for (auto& p : processes.procs) p.info.nameClaimed = p.info.name == "firefox";
  Cycle(93, 91);
  EXPECT_EQ(Messages(),
            (Lines{"CPU 93% exceed 75% for 1 times. TOP 1 : firefox [claimed name] (40%)",
                   "MEM 91% exceed 85% for 1 times. TOP 1 : firefox [claimed name] (1536.4M)"}));
  for (auto& p : processes.procs) p.info.nameClaimed = false;
  Cycle(93, 91);
  EXPECT_EQ(Messages(), (Lines{"CPU 93% exceed 75% for 2 times. TOP 1 : firefox (40%)",
                               "MEM 91% exceed 85% for 2 times. TOP 1 : firefox (1536.4M)"}));
}

TEST_F(WatchTest, SentAlertsGoToTheDispatcherWithThePhoneList) {
  RecordingAlertSender sender;
  engine->SetAlertSender(&sender);
  Load();
  engine->session.loggedIn = true;
  engine->settings.Enable_alert = 1;
  engine->settings.smsPhone = "+15550100";
  Cycle(93, 50);
  Cycle(93, 50);
  Cycle(93, 50);
  ASSERT_EQ(sender.sent.size(), 1u);
  EXPECT_EQ(sender.sent[0].recipients, "+15550100");
  EXPECT_EQ(sender.sent[0].message,
            "12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times).TOP1 : firefox 40% "
            "@10:15:07 *firefox(3)");
  Cycle(20, 50);
  ASSERT_EQ(sender.sent.size(), 2u);
  EXPECT_EQ(sender.sent[1].message,
            "2026-12-04 10:15:22 WEB01 CPU 20% back to normal.CPU threshold setting is 75% for 3 "
            "consecutive times");

  engine->settings.Enable_alert = 0;
  for (int i = 0; i < 3; ++i) Cycle(93, 50);
  EXPECT_EQ(sender.sent.size(), 2u) << "alerts switched off are logged only";
}

TEST_F(WatchTest, EveryExceedingSampleAlertsWithOneSampleToAnAlert) {
  Load();
  engine->settings.num_High = "1";
  Cycle(75, 50);  // equal to the threshold counts as exceeding
  Cycle(80, 50);
  const Lines lines = Messages();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].rfind("Not Login alert message [12-04 10:15:07 WEB01 CPU 75% exceed 75% for "
                           "0 sec.(1 times).",
                           0),
            0u)
      << lines[1];
  EXPECT_TRUE(lines[3].ends_with(" (Not first time,log only)")) << lines[3];
}

TEST_F(WatchTest, SecondsTurnNegativeWhenTheRunCrossesMidnight) {
  clock.now = LocalTime{2026, 12, 4, 23, 59, 50};
  Load();
  engine->settings.num_High = "4";
  for (int i = 0; i < 4; ++i) Cycle(93, 50, 10);
  EXPECT_TRUE(Messages().back().starts_with(
      "Not Login alert message [12-05 00:00:20 WEB01 CPU 93% exceed 75% for -86370 sec.(4 "
      "times)."));
}

TEST_F(WatchTest, FailedCpuReadingIsJudgedByTheGaugesPreviousValue) {
  Load();
  Cycle(93, 50);
  Cycle(-1, 50);
  EXPECT_EQ(Messages(), (Lines{"CPU 93% exceed 75% for 1 times. TOP 1 : firefox (40%)",
                               "CPU -1% exceed 75% for 2 times. TOP 1 : firefox (40%)"}));
  EXPECT_EQ(model->CPU_Progress.Value(), 93);
  EXPECT_EQ(model->lblCPUValue[0].caption, "-1 %");
}

TEST_F(WatchTest, SingleExceedingSampleWritesBackToNormalButSendsNoNotice) {
  Load();
  Cycle(93, 50);
  Cycle(10, 50);
  EXPECT_EQ(Messages(), (Lines{"CPU 93% exceed 75% for 1 times. TOP 1 : firefox (40%)",
                               "CPU 10% back to normal"}));
}

TEST_F(WatchTest, RestartKeepsTheExceededMarkSoTheFirstNormalSampleReportsIt) {
  Load();
  Cycle(93, 50);
  model->OnCommand1Click();
  model->OnCommand1Click();
  Messages();
  Cycle(10, 50);
  EXPECT_EQ(Messages(), Lines{"CPU 10% back to normal"});
}

TEST_F(WatchTest, StartFromTheTrayMenuKeepsTheFirstTimeOfTheRun) {
  Load();
  Cycle(93, 50);
  model->OnMStartClick();
  model->OnMStartClick();
  Cycle(93, 50);
  Cycle(93, 50);
  Cycle(93, 50);
  EXPECT_TRUE(Messages().back().starts_with(
      "Not Login alert message [12-04 10:15:22 WEB01 CPU 93% exceed 75% for 15 sec.(3 times)."))
      << "counted from 10:15:07, the first sample before the restart";
}

TEST_F(WatchTest, SoundPlaysOnEveryExceedingSampleInsideItsHourWindow) {
  Load();
  engine->settings.Enable_sound = 1;
  engine->settings.filMusic = "/x/alert.wav";
  Cycle(93, 50);
  engine->settings.soundOn = 1;
  engine->settings.soundFrom = "8";
  engine->settings.soundTo = "19";
  Cycle(93, 50);
  EXPECT_EQ(sound.played, (std::vector<std::string>{"/x/alert.wav", "/x/alert.wav"}));

  engine->settings.soundFrom = "22";
  engine->settings.soundTo = "6";
  Messages();
  Cycle(93, 50);
  EXPECT_EQ(sound.played.size(), 2u) << "a window that would wrap past midnight holds no hour";
  EXPECT_EQ(Messages()[1],
            "No alert sound playing.Current hour is 10, this is not in the defined time window "
            "22-6");

  engine->settings.soundOn = 0;
  engine->settings.filMusic = "   ";
  Cycle(93, 50);
  EXPECT_EQ(sound.played.size(), 2u);
  EXPECT_EQ(Messages().size(), 1u) << "a blank sound file plays and writes nothing";
}

TEST_F(WatchTest, NoMemoryTotalShowsZeroAndLeavesTheGaugeAlone) {
  memory.total = -1;
  Load();
  Cycle(10, 90);
  EXPECT_EQ(model->lblRamValue[0].caption, "0");
  EXPECT_EQ(model->RAM_Progress.Value(), 0);
  EXPECT_EQ(engine->lastUsageLine, "12-04 10:15:07 WEB01 CPU / MEMORY usage : 10% / 0%");
  EXPECT_EQ(model->caption, "12-04 10:15:07 CPU / MEMORY usage 10% / 0%");
}

TEST_F(WatchTest, CycleShowsValuesCaptionAndTrayTip) {
  Load();
  Cycle(42, 37);
  EXPECT_EQ(model->lblCPUValue[0].caption, "42 %");
  EXPECT_EQ(model->lblCPUValue[1].caption, "37 %");
  EXPECT_EQ(model->lblRamValue[0].caption, "10000");
  EXPECT_EQ(model->lblRamValue[1].caption, "6300");
  EXPECT_EQ(model->lblRamValue[2].caption, "3700");
  EXPECT_EQ(model->CPU_Progress.Value(), 42);
  EXPECT_EQ(model->RAM_Progress.Value(), 37);
  EXPECT_EQ(model->trayTip, model->caption);
  EXPECT_TRUE(Messages().empty()) << "a cycle under the thresholds logs nothing";
  EXPECT_EQ(processes.scans, 0) << "and reads no per-process data";
}

TEST_F(WatchTest, ThresholdThatIsNoNumberSkipsTheWatch) {
  Load();
  engine->settings.cpu_High = "high";
  Cycle(99, 50);
  EXPECT_TRUE(Messages().empty());
  engine->settings.cpu_High = "75";
  engine->settings.num_High = "many";
  for (int i = 0; i < 4; ++i) Cycle(99, 50);
  for (const std::string& line : Messages()) {
    EXPECT_TRUE(line.starts_with("CPU 99% exceed")) << "no alert without a count: " << line;
  }
}

// A termination stand-in that reports the outcome the case needs.
class ScriptedKiller final : public ITopProcessKiller {
 public:
  bool tried = true;
  bool result = true;
  bool failFirst = false;
  std::string KillTopProcess(const TopHistory&, int16_t, KillResults& k) override {
    k.killTried = tried;
    k.killResult = result;
    k.killFailFirst = failFirst;
    k.killedName = "firefox";
    return "*firefox(3)";
  }
};

TEST_F(WatchTest, RepeatedAlertsAfterATerminationFollowItsOutcome) {
  ScriptedKiller killer;
  engine->SetTopProcessKiller(&killer);
  Load();
  for (int i = 0; i < 3; ++i) Cycle(93, 50);
  EXPECT_EQ(Messages().back(),
            "Not Login alert message [12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 "
            "times). *firefox killed(True). TOP1 : firefox 40% @10:15:07 *firefox(3)] can not be "
            "sent out, please login..");
  for (int i = 0; i < 3; ++i) Cycle(93, 50);
  EXPECT_EQ(Messages().back(),
            "Not Login alert message [12-04 10:15:32 WEB01 CPU 93% exceed 75% for 10 sec.(3 "
            "times). *firefox killed(True). TOP1 : firefox 40% @10:15:22 *firefox(3)] can not be "
            "sent out, please login..")
      << "a successful termination is reported again";

  killer.result = false;
  killer.failFirst = false;
  for (int i = 0; i < 3; ++i) Cycle(93, 50);
  EXPECT_EQ(Messages().back(),
            "12-04 10:15:47 WEB01 CPU 93% exceed 75% for 10 sec.(3 times). *firefox "
            "killed(False). TOP1 : firefox 40% @10:15:37 *firefox(3)(Fail to kill process again. "
            "No alert send out. log only)");

  engine->settings.num_High = "1";
  Cycle(10, 91);
  Cycle(10, 91);
  EXPECT_TRUE(Messages().back().ends_with(
      "*firefox(3) (Fail to kill process again. No alert send out. log only)"))
      << "the memory watch puts a blank before it";
}

}  // namespace
}  // namespace tarnwick
