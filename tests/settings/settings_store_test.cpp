// Loading and saving through the program's folder: unreadable, oversized and unwritable files.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings_test_support.h"
#include "support/fake_file_system.h"
#include "support/fakes.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using testing::Describe;
using testing::FilledSettings;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::SettingFileOf;
using testing::SmtpFileOf;
using testing::WriteBytes;

// Where the program and its sounds are installed: apart from the settings' folder, as for an
// installed program whose settings live in the user's folder.
const std::string kProgramFolder = "/usr/lib/tarnwick";

class SettingsStoreTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  testing::FakeFileSystem files;
  testing::RecordingUi ui;
  SettingsStore store{files, folder.path().string(), "/"};
};

TEST_F(SettingsStoreTest, FirstRunAppliesTheFreshInstallValues) {
  Settings s;
  const auto result = store.LoadSettings(s, "WORKSTATION-7", kProgramFolder);
  EXPECT_EQ(result.source, SettingsStore::SettingSource::FirstRun);
  EXPECT_EQ(result.aliveMinutes, 0);

  Settings expected;
  expected.Enable_log = 1;
  expected.filMusic = kProgramFolder + "/alert.wav";
  expected.smsFrom = "8";
  expected.smsTo = "19";
  expected.soundFrom = "8";
  expected.soundTo = "19";
  expected.host_Name = "WORKSTATION-7";
  expected.Killopt = true;
  expected.TimeInterval = "5";
  expected.cpu_High = "85";
  expected.mem_High = "85";
  expected.num_High = "10";
  expected.num_Kill = "10";
  EXPECT_EQ(Describe(s), Describe(expected));
  // Loading writes nothing.
  EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(SettingsStoreTest, ExistingEmptyFileIsNotAFirstRun) {
  WriteBytes(store.SettingPath(), "");
  Settings s;
  EXPECT_EQ(store.LoadSettings(s, "HOST", kProgramFolder).source,
            SettingsStore::SettingSource::File);
  EXPECT_EQ(s.TimeInterval, "5");
  EXPECT_EQ(s.cpu_High, "75");
  EXPECT_EQ(s.mem_High, "80");
  EXPECT_EQ(s.num_High, "60");
  EXPECT_EQ(s.host_Name, "");
  EXPECT_EQ(s.Enable_log, 0);
  EXPECT_FALSE(s.Killopt);
}

TEST_F(SettingsStoreTest, UnreadableFileReadsAsEmptyLinesNotFirstRunValues) {
  // A folder in the file's place cannot be read, even by root.
  fs::create_directory(store.SettingPath());
  WriteBytes(store.SmtpPath(), SmtpFileOf({{8, "15"}}));
  Settings s;
  const auto result = store.LoadSettings(s, "HOST", kProgramFolder);
  EXPECT_EQ(result.source, SettingsStore::SettingSource::Unreadable);
  EXPECT_EQ(result.aliveMinutes, 15);
  EXPECT_EQ(s.TimeInterval, "5");
  EXPECT_EQ(s.cpu_High, "75");
  EXPECT_EQ(s.host_Name, "");
  EXPECT_EQ(s.Enable_log, 0);
  EXPECT_FALSE(s.Killopt);
}

TEST_F(SettingsStoreTest, SmtpFileGivesTheAliveCountdownOnlyWhenPresent) {
  WriteBytes(store.SettingPath(), SettingFileOf({{1, "9"}}));
  Settings without;
  EXPECT_EQ(store.LoadSettings(without, "HOST", kProgramFolder).aliveMinutes, 0);
  EXPECT_EQ(without.min_Select, "");
  EXPECT_EQ(without.Enable_SMTP, 0);

  WriteBytes(store.SmtpPath(), SmtpFileOf({{1, "1"}, {8, "0"}}));
  Settings with;
  EXPECT_EQ(store.LoadSettings(with, "HOST", kProgramFolder).aliveMinutes, 1);
  EXPECT_EQ(with.min_Select, "1");
  EXPECT_EQ(with.Enable_SMTP, 1);
  EXPECT_EQ(with.TimeInterval, "9");
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBackTrimmedLowerCasedAndLosingAPasswordsLastBlank) {
  const Settings saved = FilledSettings();
  ASSERT_TRUE(store.SaveSettings(saved, ui));
  ASSERT_TRUE(store.SaveSMTPSettings(saved, ui));

  Settings loaded;
  const auto result = store.LoadSettings(loaded, "OTHER-HOST", kProgramFolder);
  EXPECT_EQ(result.source, SettingsStore::SettingSource::File);
  EXPECT_EQ(result.aliveMinutes, 60);

  Settings expected = saved;
  expected.TimeInterval = "10";
  expected.mem_High = "\t70";  // spaces are trimmed, tabs kept
  expected.host_Name = "web-01 (rack 3)";
  expected.PnameList = "notepad.exe, calc.exe";
  expected.smsPassword = " s3cret pass";
  EXPECT_EQ(Describe(loaded), Describe(expected));
}

TEST_F(SettingsStoreTest, AwkwardPasswordsSurviveTheFileAndKeepLaterLinesInPlace) {
  std::string longPassword;
  for (int i = 0; i < 300; ++i) longPassword.push_back(static_cast<char>('z' - i % 26));
  // Passwords are text: 200 times "ÿ", whose bytes in cp1252 are 200 times 0xFF, so every padding
  // byte is out of range where the file is stored in that code page.
  std::string yDiaeresis;
  for (int i = 0; i < 200; ++i) yDiaeresis += "\u00ff";
  const std::vector<std::string> passwords = {
      longPassword,  // position + code far above 255
      yDiaeresis,
      "\tkey",
      "\x08key",
      "\x0c"
      "key",
      "\x1f"
      "key",  // padding would be LF, tab, CR, space
      std::string("nul\x00inside", 10),
  };
  for (const std::string& password : passwords) {
    SCOPED_TRACE(password.size());
    Settings saved = FilledSettings();
    saved.smsPassword = password;
    saved.MailPass = password;
    ASSERT_TRUE(store.SaveSettings(saved, ui));
    ASSERT_TRUE(store.SaveSMTPSettings(saved, ui));
    Settings loaded;
    store.LoadSettings(loaded, "HOST", kProgramFolder);
    EXPECT_EQ(loaded.smsPassword, password);
    EXPECT_EQ(loaded.MailPass, password);
    EXPECT_EQ(loaded.smsPhone, saved.smsPhone);
    EXPECT_EQ(loaded.smsTo, saved.smsTo);
    EXPECT_EQ(loaded.mailTo1, saved.mailTo1);
  }
}

// A file that exists but cannot be read is told in the log, keeps its switches off, and is
// replaced only when the user says so.
TEST_F(SettingsStoreTest, UnreadableFilesAreToldKeptOffAndReplacedOnlyAfterAYes) {
  const Settings saved = FilledSettings();
  ASSERT_TRUE(store.SaveSettings(saved, ui));
  ASSERT_TRUE(store.SaveSMTPSettings(saved, ui));
  const std::string settingBytes = ReadBytes(store.SettingPath());
  const std::string smtpBytes = ReadBytes(store.SmtpPath());
  files.unreadable[store.SettingPath()] = "Permission denied";
  files.unreadable[store.SmtpPath()] = "Input/output error";

  SettingsStore restarted{files, folder.path().string(), "/"};
  Settings s;
  const auto result = restarted.LoadSettings(s, "HOST", kProgramFolder);
  EXPECT_EQ(result.source, SettingsStore::SettingSource::Unreadable);
  EXPECT_EQ(result.aliveMinutes, 0);
  EXPECT_EQ(s.Enable_alert, 0);
  EXPECT_EQ(s.KillProc, 0);
  EXPECT_EQ(s.Enable_SMTP, 0);
  EXPECT_EQ(s.alive_Email, 0);
  EXPECT_EQ(result.notices,
            (std::vector<std::string>{"Cannot read settings file " + restarted.SettingPath() +
                                          ": Permission denied; its features stay off",
                                      "Cannot read settings file " + restarted.SmtpPath() +
                                          ": Input/output error; its features stay off"}));

  // The default answer keeps the user's file.
  EXPECT_FALSE(restarted.SaveSettings(s, ui));
  EXPECT_FALSE(restarted.SaveSMTPSettings(s, ui));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(ui.messages[0].text, "The settings file " + restarted.SettingPath() +
                                     " could not be read at start (Permission denied).\r\n"
                                     "Saving replaces it with the values shown here. Save anyway?");
  EXPECT_NE(ui.messages[1].text.find(restarted.SmtpPath()), std::string::npos);
  EXPECT_NE(ui.messages[1].text.find("Input/output error"), std::string::npos);
  EXPECT_EQ(ReadBytes(store.SettingPath()), settingBytes);
  EXPECT_EQ(ReadBytes(store.SmtpPath()), smtpBytes);

  ui.answers = {MessageAnswer::Yes};
  EXPECT_TRUE(restarted.SaveSettings(s, ui));
  EXPECT_NE(ReadBytes(store.SettingPath()), settingBytes);
  // Once written, the file is the user's again: no more questions.
  EXPECT_TRUE(restarted.SaveSettings(s, ui));
  EXPECT_EQ(ui.messages.size(), 3u);
}

TEST_F(SettingsStoreTest, OnlyTheFirst64KiBOfAnOversizedFileCount) {
  // A first line of 100,000 characters, then the rest of the file far past the limit.
  std::string content = SettingFileOf({{2, "70"}, {5, "web-01"}});
  content.insert(0, std::string(100000, ' '));
  content += std::string(200000, '\r');
  WriteBytes(store.SettingPath(), content);
  WriteBytes(store.SmtpPath(), SmtpFileOf({{8, "15"}}));
  Settings s;
  const auto result = store.LoadSettings(s, "HOST", kProgramFolder);
  EXPECT_EQ(result.source, SettingsStore::SettingSource::File);
  // The cut leaves nothing but the blanks of the first line.
  EXPECT_EQ(s.cpu_High, "75");
  EXPECT_EQ(s.host_Name, "");
  EXPECT_EQ(result.aliveMinutes, 15);
  EXPECT_EQ(result.notices,
            (std::vector<std::string>{"Settings file " + store.SettingPath() +
                                      " is longer than 64 KiB; only its first 64 KiB are read"}));
  EXPECT_EQ(files.staleCleanups, 2);
}

TEST_F(SettingsStoreTest, FailedWriteIsShownWithTheFileAndTheSystemsReason) {
  WriteBytes(store.SmtpPath(), "old\r\n");
  files.replaceFails[store.SettingPath()] = "Read-only file system";
  files.replaceFails[store.SmtpPath()] = "No space left on device";
  EXPECT_FALSE(store.SaveSettings(FilledSettings(), ui));
  EXPECT_FALSE(store.SaveSMTPSettings(FilledSettings(), ui));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(ui.messages[0].text, "The settings file " + store.SettingPath() +
                                     " could not be saved: Read-only file system\r\n"
                                     "Nothing was changed.");
  EXPECT_NE(ui.messages[1].text.find(store.SmtpPath() + " could not be saved: No space left"),
            std::string::npos);
  EXPECT_EQ(ReadBytes(store.SmtpPath()), "old\r\n");
}

}  // namespace
}  // namespace tarnwick
