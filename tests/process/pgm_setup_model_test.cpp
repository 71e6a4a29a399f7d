// The dialog pgmSETUP as a model: loading, the click rules, the sound file picker, Save with its
// conversions and Cancel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "process_fixture.h"

namespace tarnwick {
namespace {

using testing::kMiB;
using testing::ReadFile;
using testing::WriteFile;

class PgmSetupModelTest : public testing::ProcessFixture {
 protected:
  void SetUp() override {
    ProcessFixture::SetUp();
    WriteProgramSettings({" 1 ", "notepad", " 70 ", " 12.5 ", " 4 ", " 1 ", " 0 ", "/snd/x.wav"});
    model->OnLoad();
  }
  PgmSetupModel& dialog() { return (*model->pgmSETUP()); }
  ProgramSettings& pgm() { return control().programSettings(); }
  std::string Path() const { return system.programFolder + "/pgmsetting.ini"; }
};

TEST_F(PgmSetupModelTest, MenuCommandLoadsTheSettingsOnceCentredOnTheScreen) {
  model->OnMPGMSetupClick();
  EXPECT_EQ(dialog().state(), FormState::Shown);
  EXPECT_EQ(dialog().geometry.left, (1920 - dialog().geometry.width) / 2);
  EXPECT_EQ(dialog().geometry.top, (1080 - dialog().geometry.height) / 2);
  EXPECT_EQ(dialog().pgmMonitorF.value, 1);
  EXPECT_EQ(dialog().pgmNameF.text, "notepad");
  EXPECT_EQ(dialog().pgmCPUsetF.text, "70");
  EXPECT_EQ(dialog().pgmMEMsetF.text, "12.5");
  EXPECT_EQ(dialog().pgmAlertSetF.text, "4");
  EXPECT_EQ(dialog().pgmKillF.value, 1);
  EXPECT_EQ(dialog().pgmSoundF.value, 0);
  EXPECT_EQ(dialog().pgmFileSoundF.text, "/snd/x.wav");
  EXPECT_TRUE(dialog().pgmKillF.enabled);

  dialog().pgmCPUsetF.text = "typed";
  model->OnMPGMSetupClick();
  EXPECT_EQ(dialog().pgmCPUsetF.text, "typed") << "showing a shown dialog does not reload it";
  dialog().pgmCancel_Click();
  EXPECT_EQ(dialog().state(), FormState::NotLoaded);
  model->OnMPGMSetupClick();
  EXPECT_EQ(dialog().pgmCPUsetF.text, "70");
}

TEST_F(PgmSetupModelTest, MonitorBoxGovernsTheKillAndSoundBoxes) {
  dialog().Show();
  dialog().pgmSoundF.value = 1;
  dialog().pgmMonitorF.value = 0;
  dialog().pgmMonitorF_Click();
  EXPECT_EQ(dialog().pgmKillF.value, 0);
  EXPECT_EQ(dialog().pgmSoundF.value, 0);
  EXPECT_FALSE(dialog().pgmKillF.enabled);
  EXPECT_FALSE(dialog().pgmSoundF.enabled);

  dialog().pgmMonitorF.value = 1;
  dialog().pgmMonitorF_Click();
  EXPECT_TRUE(dialog().pgmKillF.enabled);
  EXPECT_TRUE(dialog().pgmSoundF.enabled);
  EXPECT_EQ(dialog().pgmKillF.value, 0) << "setting the box does not set the others again";

  // Loaded with the monitor off, the two boxes start disabled.
  dialog().pgmCancel_Click();
  pgm().pgmMonitorF = 0;
  dialog().Show();
  EXPECT_FALSE(dialog().pgmKillF.enabled);
  EXPECT_FALSE(dialog().pgmSoundF.enabled);
}

TEST_F(PgmSetupModelTest, ClickIntoTheExampleNameEmptiesIt) {
  dialog().Show();
  dialog().pgmNameF_Click();
  EXPECT_EQ(dialog().pgmNameF.text, "notepad");
  dialog().pgmNameF.text = "firefox (*example)";
  dialog().pgmNameF_Click();
  EXPECT_EQ(dialog().pgmNameF.text, "");
}

TEST_F(PgmSetupModelTest, SoundFileComesFromTheWavPickerInTheProgramFolder) {
  dialog().Show();
  ui.pickResult = std::nullopt;
  dialog().pgmSelectMusic_Click();
  EXPECT_EQ(dialog().pgmFileSoundF.text, "/snd/x.wav") << "a cancel changes nothing";
  ASSERT_EQ(ui.picks.size(), 1u);
  EXPECT_EQ(ui.picks[0].initialFolder, system.programFolder);
  EXPECT_EQ(ui.picks[0].filterDescription, "WAV Files(*.wav)");
  EXPECT_EQ(ui.picks[0].filterPattern, "*.wav");

  ui.pickResult = "/home/me/bell.wav";
  dialog().pgmSelectMusic_Click();
  EXPECT_EQ(dialog().pgmFileSoundF.text, "/home/me/bell.wav");
}

TEST_F(PgmSetupModelTest, SaveConvertsTheBoxesWritesTheFileAndCloses) {
  dialog().Show();
  dialog().pgmMonitorF.value = 1;
  dialog().pgmNameF.text = " Calc ";
  dialog().pgmCPUsetF.text = " 75 ";
  dialog().pgmMEMsetF.text = "33,5";
  dialog().pgmAlertSetF.text = "4.0";
  dialog().pgmKillF.value = 0;
  dialog().pgmSoundF.value = 1;
  dialog().pgmFileSoundF.text = "  /snd/bell.wav  ";
  dialog().pgmSave_Click();

  EXPECT_EQ(dialog().state(), FormState::NotLoaded);
  EXPECT_EQ(pgm().pgmNameF, "calc");
  EXPECT_EQ(pgm().pgmCPUsetF, 75);
  EXPECT_EQ(pgm().pgmMEMsetF, 33.5);
  EXPECT_EQ(pgm().pgmAlertSetF, 4);
  EXPECT_EQ(pgm().pgmKillF, 0);
  EXPECT_EQ(pgm().pgmSoundF, 1);
  EXPECT_EQ(pgm().pgmFileSoundF, "/snd/bell.wav");
  EXPECT_EQ(ReadFile(Path()),
            " 1 \r\ncalc\r\n 75 \r\n 33.5 \r\n 4 \r\n 0 \r\n 1 \r\n/snd/bell.wav\r\n");
  EXPECT_EQ(model->Label6[0].caption, "calc");
  EXPECT_EQ(model->pgmMEM_Setting.caption, "/33.5 %");
}

TEST_F(PgmSetupModelTest, ABoxThatIsNoNumberRefusesTheSaveAndChangesNothing) {
  const std::string before = ReadFile(Path());
  dialog().Show();
  dialog().pgmNameF.text = "calc";
  dialog().pgmCPUsetF.text = "9o";
  dialog().pgmAlertSetF.text = "three";
  dialog().pgmSave_Click();
  EXPECT_EQ(dialog().state(), FormState::Shown) << "open with the entries for another try";
  std::vector<std::string> texts;
  for (const testing::RecordedMessage& m : ui.messages) texts.push_back(m.text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "The program's CPU warning threshold must be a whole number from 1 to 100",
                       "The program's # of consecutive usage exceed threshold to trigger alert "
                       "sending must be a whole number from 1 to 32767"}));
  EXPECT_EQ(pgm().pgmNameF, "notepad") << "nothing comes into force";
  EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(PgmSetupModelTest, SaveLeavesTheExceedCountsAlone) {
  processes.Add(300, "notepad", 320, 10 * kMiB);
  control().MonitorProgram();
  ASSERT_EQ(control().programMonitor().cpuWatch().count, 1);
  dialog().Show();
  dialog().pgmSave_Click();
  EXPECT_EQ(control().programMonitor().cpuWatch().count, 1);
}

TEST_F(PgmSetupModelTest, CancelKeepsTheSettingsAndTheFile) {
  const std::string before = ReadFile(Path());
  dialog().Show();
  dialog().pgmNameF.text = "calc";
  dialog().pgmMonitorF.value = 0;
  dialog().pgmCancel_Click();
  EXPECT_EQ(dialog().state(), FormState::NotLoaded);
  EXPECT_EQ(pgm().pgmNameF, "notepad");
  EXPECT_EQ(pgm().pgmMonitorF, 1);
  EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(PgmSetupModelTest, FailedWriteKeepsTheDialogOpenAndTheOldSettingsInForce) {
  const std::string before = ReadFile(Path());
  model->OnMPGMSetupClick();
  dialog().pgmCPUsetF.text = "90";
  dialog().pgmNameF.text = "firefox";
  files.replaceFails[Path()] = "Read-only file system";
  // The monitor runs on while the box is open, on the settings of the file.
  ProgramSettings inForce;
  ui.onMessageBox = [&](const testing::RecordedMessage&) { inForce = pgm(); };
  dialog().pgmSave_Click();
  EXPECT_EQ(inForce.pgmCPUsetF, 70);
  EXPECT_EQ(inForce.pgmNameF, "notepad");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "The settings file " + Path() +
                                     " could not be saved: Read-only file system\r\n"
                                     "Nothing was changed.");
  EXPECT_EQ(dialog().state(), FormState::Shown);
  EXPECT_EQ(dialog().pgmCPUsetF.text, "90");
  EXPECT_EQ(pgm().pgmCPUsetF, 70);
  EXPECT_EQ(pgm().pgmNameF, "notepad");
  EXPECT_EQ(ReadFile(Path()), before);
}

// A pgmsetting.ini that exists but cannot be read leaves the monitor off, says why, and an
// unedited Save does not put the defaults over it.
TEST_F(PgmSetupModelTest, UnreadableFileKeepsTheMonitorOffAndIsNotOverwrittenByDefault) {
  const std::string before = ReadFile(Path());
  files.unreadable[Path()] = "Permission denied";
  UseProcessControl();
  model->OnLoad();
  EXPECT_EQ(pgm().pgmMonitorF, 0);
  bool logged = false;
  for (const std::string& line : engine->log().PaneLines()) {
    logged = logged || line.ends_with("Cannot read settings file " + Path() +
                                      ": Permission denied; its features stay off");
  }
  EXPECT_TRUE(logged);
  ui.messages.clear();
  model->OnMPGMSetupClick();
  dialog().pgmSave_Click();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(dialog().state(), FormState::Shown);
  EXPECT_EQ(ReadFile(Path()), before);
}

}  // namespace
}  // namespace tarnwick
