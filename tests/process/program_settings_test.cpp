// pgmsetting.ini: reading, the missing file, the written number format, and the main window's
// labels of the program monitor.
#include "settings/program_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "process_fixture.h"

namespace tarnwick {
namespace {

using testing::kMiB;
using testing::ReadFile;
using testing::WriteFile;

class ProgramSettingsTest : public testing::ProcessFixture {
 protected:
  std::string Path() const { return system.programFolder + "/pgmsetting.ini"; }
  ProgramSettings& pgm() { return control().programSettings(); }
};

TEST_F(ProgramSettingsTest, MissingFileGivesTheDefaultsAndIsNotCreated) {
  for (const char* suffix : {"", ".exe"}) {
    SCOPED_TRACE(suffix);
    system.suffix = suffix;
    UseProcessControl();
    model->OnLoad();
    const ProgramSettings& s = pgm();
    EXPECT_EQ(s.pgmMonitorF, 0);
    EXPECT_EQ(s.pgmNameF, std::string("firefox") + suffix + " (*example)");
    EXPECT_EQ(s.pgmCPUsetF, 60);
    EXPECT_EQ(s.pgmMEMsetF, 60);
    EXPECT_EQ(s.pgmAlertSetF, 5);
    EXPECT_EQ(s.pgmKillF, 0);
    EXPECT_EQ(s.pgmSoundF, 0);
    EXPECT_EQ(s.pgmFileSoundF, system.programFolder + "/alert1.wav");
    EXPECT_FALSE(control().Enabled());
    EXPECT_EQ(model->Label6[0].caption, "No program monitored");
    EXPECT_EQ(model->Label6[2].caption, "No program monitored");
    EXPECT_EQ(model->pgmCPU.caption, "--");
    EXPECT_EQ(model->pgmMEM_Count.caption, "--");
    EXPECT_FALSE(std::filesystem::exists(Path()));

    model->OnMPGMSetupClick();
    const PgmSetupModel& dialog = (*model->pgmSETUP());
    EXPECT_EQ(dialog.pgmNameF.text, std::string("firefox") + suffix + " (*example)");
    EXPECT_EQ(dialog.pgmAlertSetF.text, "5");
    EXPECT_EQ(dialog.pgmFileSoundF.text, system.programFolder + "/alert1.wav");
  }
}

TEST_F(ProgramSettingsTest, EmptyLinesReadAsTheirFallbacks) {
  WriteProgramSettings({"", "", "", "", "", "", "", ""});
  model->OnLoad();
  const ProgramSettings& s = pgm();
  EXPECT_EQ(s.pgmMonitorF, 0);
  EXPECT_EQ(s.pgmNameF, "");
  EXPECT_EQ(s.pgmCPUsetF, 60);
  EXPECT_EQ(s.pgmMEMsetF, 60);
  EXPECT_EQ(s.pgmAlertSetF, 10) << "10 for an empty line, unlike the 5 of a missing file";
  EXPECT_EQ(s.pgmKillF, 0);
  EXPECT_EQ(s.pgmSoundF, 0);
  EXPECT_EQ(s.pgmFileSoundF, "");
}

TEST_F(ProgramSettingsTest, ShortFileReadsItsMissingLinesAsEmptyLines) {
  for (const char* content : {" 1 \r\n  Notepad.EXE \r\n", " 1 \nNotepad.exe"}) {
    SCOPED_TRACE(content);
    WriteFile(Path(), content);
    UseProcessControl();
    model->OnLoad();
    const ProgramSettings& s = pgm();
    EXPECT_EQ(s.pgmMonitorF, 1);
    EXPECT_EQ(s.pgmNameF, "notepad.exe");
    EXPECT_EQ(s.pgmCPUsetF, 60);
    EXPECT_EQ(s.pgmMEMsetF, 60);
    EXPECT_EQ(s.pgmAlertSetF, 10);
    EXPECT_EQ(s.pgmFileSoundF, "");
    EXPECT_EQ(model->Label6[0].caption, "notepad.exe");
    EXPECT_EQ(model->Label6[2].caption, "notepad.exe");
    EXPECT_EQ(model->pgmCPU_Setting.caption, "/60%");
    EXPECT_EQ(model->pgmMEM_Setting.caption, "/60 %");
    EXPECT_EQ(model->pgmCPU_Warn.caption, "/10");
    EXPECT_EQ(model->pgmMEM_Alert.caption, "/10");
  }
}

TEST_F(ProgramSettingsTest, NumberLinesReadEitherSeparatorAndBadLinesKeepTheirValue) {
  const std::string kDigits309(309, '9');
  const struct {
    const char* line;
    int16_t cpu;  // line 3, 16-bit
    double mem;   // line 4, double
  } cases[] = {
      {" 75 ", 75, 75},
      {"-5 ", -5, -5},
      {"12.5", 12, 12.5},
      {"12,5", 12, 12.5},
      {"13.5", 14, 13.5},
      {"abc", 7, 8.25},
      {"12abc", 7, 8.25},
      {"70000", 7, 70000},
      {"  ", 7, 8.25},
      // Infinity is no number: it would be written back as 0 and alert on every cycle.
      {kDigits309.c_str(), 7, 8.25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ProgramSettings s;
    s.pgmCPUsetF = 7;
    s.pgmMEMsetF = 8.25;
    ParseProgramSettingFile(std::string(" 1 \r\nx\r\n") + c.line + "\r\n" + c.line + "\r\n", s);
    EXPECT_EQ(s.pgmCPUsetF, c.cpu);
    EXPECT_EQ(s.pgmMEMsetF, c.mem);
  }
}

TEST_F(ProgramSettingsTest, SavedFileWritesNumbersWithSignPlaceAndTrailingBlank) {
  ProgramSettings s;
  s.pgmMonitorF = 1;
  s.pgmNameF = "notepad.exe";
  s.pgmCPUsetF = 60;
  s.pgmMEMsetF = 12.5;
  s.pgmAlertSetF = -5;
  s.pgmKillF = 0;
  s.pgmSoundF = 1;
  s.pgmFileSoundF = "/snd/my sound.wav";
  const std::string content = FormatProgramSettingFile(s);
  EXPECT_EQ(content,
            " 1 \r\nnotepad.exe\r\n 60 \r\n 12.5 \r\n-5 \r\n 0 \r\n 1 \r\n/snd/my sound.wav\r\n");
  EXPECT_EQ(ProgramNumberText(60.0), " 60 ");
  EXPECT_EQ(ProgramNumberText(-0.25), "-0.25 ");
  // Too small for a digit: written as 0, since "-0" would read back as another number.
  EXPECT_EQ(ProgramNumberText(-1e-20), " 0 ");

  ProgramSettings back;
  ParseProgramSettingFile(content, back);
  EXPECT_EQ(FormatProgramSettingFile(back), content);
}

TEST_F(ProgramSettingsTest, LabelsFollowTheMonitorSwitch) {
  WriteProgramSettings({" 1 ", "notepad", " 70 ", " 12.5 ", " 4 ", " 0 ", " 0 ", ""});
  model->OnLoad();
  EXPECT_EQ(model->Label6[0].caption, "notepad");
  EXPECT_EQ(model->pgmCPU_Setting.caption, "/70%");
  EXPECT_EQ(model->pgmMEM_Setting.caption, "/12.5 %");
  EXPECT_EQ(model->pgmCPU_Warn.caption, "/4");
  EXPECT_EQ(model->pgmMEM_Alert.caption, "/4");

  pgm().pgmMonitorF = 0;
  model->OnProgramSettingsInForce();
  EXPECT_EQ(model->Label6[0].caption, "No program monitored");
  EXPECT_EQ(model->Label6[2].caption, "No program monitored");
  for (const Label* label :
       {&model->pgmCPU, &model->pgmCPU_count, &model->pgmMEM, &model->pgmMEM_Count}) {
    EXPECT_EQ(label->caption, "--");
  }
  EXPECT_EQ(model->pgmCPU_Setting.caption, "/70%") << "thresholds keep what they show";

  pgm().pgmMonitorF = 1;
  pgm().pgmNameF.clear();
  model->OnProgramSettingsInForce();
  EXPECT_EQ(model->Label6[0].caption, "No program monitored");
}

// Saving the dialog with another program's name clears the pending back-to-normal notices;
// saving the same name keeps them.
TEST_F(ProgramSettingsTest, SavingANewNameClearsBothAlertFlags) {
  processes.Add(300, "calc", 320, 6000 * kMiB);
  processes.Add(301, "notepad.exe", 320, 6000 * kMiB);
  WriteProgramSettings({" 1 ", "calc", " 60 ", " 50 ", " 1 ", " 0 ", " 0 ", ""});
  LoadLoggedIn();
  auto raiseBothAlerts = [&] {
    control().MonitorProgram();
    clock.Advance(5);
    ASSERT_TRUE(control().programMonitor().cpuWatch().notified);
    ASSERT_TRUE(control().programMonitor().memWatch().notified);
  };
  raiseBothAlerts();

  PgmSetupModel& dialog = (*model->pgmSETUP());
  dialog.Show();
  dialog.pgmNameF.text = "  Notepad.EXE ";
  dialog.pgmSave_Click();
  EXPECT_EQ(pgm().pgmNameF, "notepad.exe");
  EXPECT_NE(ReadFile(Path()).find("\r\nnotepad.exe\r\n"), std::string::npos);
  EXPECT_FALSE(control().programMonitor().cpuWatch().notified);
  EXPECT_FALSE(control().programMonitor().memWatch().notified);

  raiseBothAlerts();
  const size_t sent = sender.sent.size();
  dialog.Show();
  dialog.pgmNameF.text = "notepad.exe ";
  dialog.pgmSave_Click();
  EXPECT_TRUE(control().programMonitor().cpuWatch().notified);
  EXPECT_TRUE(control().programMonitor().memWatch().notified);

  processes.procs.back().sharePct = 0;
  processes.procs.back().info.workingSetBytes = kMiB;
  control().MonitorProgram();
  EXPECT_EQ(sender.sent.size(), sent + 2) << "both pending notices still go out";
}

}  // namespace
}  // namespace tarnwick
