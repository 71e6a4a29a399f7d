// Settings read again while the program runs: what passes the dialogs' checks comes into force at
// the next cycle; a file that fails one, or cannot be read, leaves every running value as it was,
// the program monitor's included; a new account logs in afresh.
#include <gtest/gtest.h>

#include <functional>

#include "engine/alert_delivery.h"
#include "process/process_fixture.h"
#include "settings/program_settings.h"
#include "settings/settings_store.h"
#include "support/environment.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kKept = "Settings not reloaded, the running values stay: ";

class SettingsReloadTest : public testing::ProcessFixture {
 protected:
  // Files as a Save writes them.
  static Settings Saved() {
    Settings s;
    s.TimeInterval = "5";
    s.cpu_High = "75";
    s.mem_High = "85";
    s.num_High = "3";
    s.num_Kill = "3";
    s.host_Name = "WEB01";
    s.soundFrom = s.smsFrom = "0";
    s.soundTo = s.smsTo = "23";
    s.max_SMS = "10";
    return s;
  }
  static ProgramSettings SavedProgram() {
    ProgramSettings p;
    p.pgmMonitorF = 1;
    p.pgmNameF = "firefox";
    p.pgmCPUsetF = 50;
    p.pgmMEMsetF = 20;
    p.pgmAlertSetF = 3;
    return p;
  }
  void WriteProgram(const ProgramSettings& p) {
    testing::WriteFile(system.programFolder + "/pgmsetting.ini", FormatProgramSettingFile(p));
  }
};

TEST_F(SettingsReloadTest, OnlyFilesThatPassTheChecksComeIntoForce) {
  const struct {
    const char* name;
    std::function<void(Settings&, ProgramSettings&)> change;
    Lines lines;
    const char* cpuHigh;  // in force afterwards
    int16_t programCpu;
  } cases[] = {
      {"a new threshold and program",
       [](Settings& s, ProgramSettings& p) {
         s.cpu_High = "90";
         p.pgmCPUsetF = 70;
       },
       {"Settings reloaded"},
       "90",
       70},
      {"a threshold no Save takes",
       [](Settings& s, ProgramSettings&) { s.cpu_High = "9o"; },
       {std::string(kKept) +
        "cpu_High: CPU warning threshold must be a whole number from 1 to 100"},
       "75",
       50},
      {"an hour window no Save takes",
       [](Settings& s, ProgramSettings&) { s.soundTo = "24"; },
       {std::string(kKept) + "soundFrom: Schedule to play alert sound from the hour 0 to 24 is "
                             "invalid"},
       "75",
       50},
      {"a good file beside a bad program file",
       [](Settings& s, ProgramSettings& p) {
         s.cpu_High = "90";
         p.pgmAlertSetF = 0;
       },
       {std::string(kKept) + "pgmAlertSetF: The program's # of consecutive usage exceed threshold "
                             "to trigger alert sending must be a whole number from 1 to 32767"},
       "75",
       50},
  };
  for (const auto& c : cases) {
    WriteSettings(Saved());
    WriteProgram(SavedProgram());
    UseProcessControl();
    model->OnLoad();
    Messages();
    Settings s = Saved();
    ProgramSettings p = SavedProgram();
    c.change(s, p);
    WriteSettings(s);
    WriteProgram(p);
    engine->ReloadSettings();
    EXPECT_EQ(Messages(), c.lines) << c.name;
    EXPECT_EQ(engine->settings.cpu_High, c.cpuHigh) << c.name;
    EXPECT_EQ(control().programSettings().pgmCPUsetF, c.programCpu) << c.name;
  }
}

TEST_F(SettingsReloadTest, AMissingFileKeepsTheRunningValues) {
  WriteSettings(Saved());
  model->OnLoad();
  Messages();
  std::filesystem::remove(system.programFolder + "/setting.ini");
  engine->ReloadSettings();
  EXPECT_EQ(Messages(), Lines{std::string(kKept) + "setting.ini: the file is missing"});
  EXPECT_EQ(engine->settings.host_Name, "WEB01");
}

TEST_F(SettingsReloadTest, TheNextCycleRunsOnTheNewIntervalAndANewAccountLogsIn) {
  testing::UnsetEnv("TARNWICK_SERVICE_HOST");
  UseDelivery();
  WriteSettings(Saved());
  model->OnLoad();
  // As tarnwickd logs in: with the settings' account, not a dialog's boxes.
  engine->SetLoginAccountSource({});
  engine->cycleCountdown = 2;
  Settings s = Saved();
  s.TimeInterval = "30";
  WriteSettings(s);
  engine->ReloadSettings();
  EXPECT_EQ(engine->cycleCountdown, 30);
  EXPECT_TRUE(transport.urls.empty()) << "the same (missing) account: no login";

  s.smsEmail = "ops@x.example";
  s.smsPassword = "pw";
  WriteSettings(s);
  engine->ReloadSettings();
  ASSERT_EQ(transport.urls.size(), 1u);
  EXPECT_NE(transport.urls[0].find("sms_logon.php?email=ops%40x.example"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
