// Whether the settings in a folder hold a kill rule, read from the files before anything runs:
// the Windows service runs as LocalSystem only then.
#include "headless/kill_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/settings_store.h"
#include "support/fake_file_system.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

TEST(KillRuleInFiles, ReadFromTheSettingsOfTheFolder) {
  Settings killProc;
  killProc.KillProc = 1;
  const std::string noKill = FormatSettingFile(Settings{});
  const std::string withKill = FormatSettingFile(killProc);
  // pgmsetting.ini: on, name, CPU, memory, alert count, kill, sound, sound file.
  const std::string programKill = "1\r\nnotepad\r\n60\r\n50\r\n3\r\n1\r\n0\r\n\r\n";
  const std::string programNoKill = "1\r\nnotepad\r\n60\r\n50\r\n3\r\n0\r\n0\r\n\r\n";
  const struct {
    const char* name;
    const char* setting;  // null: no file
    const char* program;
    bool unreadableSetting;
    bool killRule;
  } cases[] = {
      {"a first run", nullptr, nullptr, false, false},
      {"no rule in either file", noKill.c_str(), programNoKill.c_str(), false, false},
      {"the monitor's termination", withKill.c_str(), nullptr, false, true},
      {"the program monitor's termination", noKill.c_str(), programKill.c_str(), false, true},
      {"an unreadable setting.ini keeps its switches off", withKill.c_str(), nullptr, true, false},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    testing::FakeFileSystem files;
    const std::string folder = dir.path().string();
    const std::string setting = folder + "/setting.ini";
    if (c.setting != nullptr) testing::WriteFile(setting, c.setting);
    if (c.program != nullptr) testing::WriteFile(folder + "/pgmsetting.ini", c.program);
    if (c.unreadableSetting) files.unreadable[setting] = "Permission denied";
    EXPECT_EQ(KillRuleInFiles(files, folder, "/"), c.killRule) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
