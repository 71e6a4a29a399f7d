// Loading and saving through the program's folder, and the atomic file write under it.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "settings_test_support.h"

#if defined(__unix__)
#include <signal.h>
#include <sys/resource.h>
#endif

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

class SettingsStoreTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  SettingsStore store{folder.path().string(), "/"};
};

TEST_F(SettingsStoreTest, FirstRunAppliesTheFreshInstallValues) {
  Settings s;
  const auto result = store.LoadSettings(s, "WORKSTATION-7");
  EXPECT_EQ(result.source, SettingsStore::SettingSource::FirstRun);
  EXPECT_EQ(result.aliveMinutes, 0);

  Settings expected;
  expected.Enable_log = 1;
  expected.filMusic = folder.path().string() + "/alert.wav";
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
  EXPECT_EQ(store.LoadSettings(s, "HOST").source, SettingsStore::SettingSource::File);
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
  const auto result = store.LoadSettings(s, "HOST");
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
  EXPECT_EQ(store.LoadSettings(without, "HOST").aliveMinutes, 0);
  EXPECT_EQ(without.min_Select, "");
  EXPECT_EQ(without.Enable_SMTP, 0);

  WriteBytes(store.SmtpPath(), SmtpFileOf({{1, "1"}, {8, "0"}}));
  Settings with;
  EXPECT_EQ(store.LoadSettings(with, "HOST").aliveMinutes, 1);
  EXPECT_EQ(with.min_Select, "1");
  EXPECT_EQ(with.Enable_SMTP, 1);
  EXPECT_EQ(with.TimeInterval, "9");
}

TEST_F(SettingsStoreTest, SavedSettingsLoadBackTrimmedLowerCasedAndLosingAPasswordsLastBlank) {
  const Settings saved = FilledSettings();
  ASSERT_TRUE(store.SaveSettings(saved));
  ASSERT_TRUE(store.SaveSMTPSettings(saved));

  Settings loaded;
  const auto result = store.LoadSettings(loaded, "OTHER-HOST");
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

// A program folder whose name is not ASCII: on Windows a UTF-8 path read in the ANSI code page
// names another folder, and the settings would be lost.
TEST(SettingsStoreFolderTest, SettingsSurviveAProgramFolderWithANonAsciiName) {
  ScratchFolder scratch;
  const std::filesystem::path folder = scratch.path() / PathFromUtf8(
                                                            "Tarnw\xc3\xbc"
                                                            "ck");
  std::filesystem::create_directory(folder);
  const std::string separator(1, std::filesystem::path::preferred_separator);
  SettingsStore nonAscii{Utf8FromPath(folder), separator};
  const Settings saved = FilledSettings();
  ASSERT_TRUE(nonAscii.SaveSettings(saved));
  ASSERT_TRUE(nonAscii.SaveSMTPSettings(saved));
  EXPECT_TRUE(std::filesystem::exists(folder / "setting.ini"));
  Settings loaded;
  EXPECT_EQ(nonAscii.LoadSettings(loaded, "OTHER-HOST").source, SettingsStore::SettingSource::File);
  EXPECT_EQ(loaded.smsPassword, " s3cret pass");
  EXPECT_EQ(loaded.cpu_High, saved.cpu_High);
}

TEST_F(SettingsStoreTest, AwkwardPasswordsSurviveTheFileAndKeepLaterLinesInPlace) {
  std::string longPassword;
  for (int i = 0; i < 300; ++i) longPassword.push_back(static_cast<char>('z' - i % 26));
  const std::vector<std::string> passwords = {
      longPassword,              // position + code far above 255
      std::string(200, '\xff'),  // every padding byte out of range
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
    ASSERT_TRUE(store.SaveSettings(saved));
    ASSERT_TRUE(store.SaveSMTPSettings(saved));
    Settings loaded;
    store.LoadSettings(loaded, "HOST");
    EXPECT_EQ(loaded.smsPassword, password);
    EXPECT_EQ(loaded.MailPass, password);
    EXPECT_EQ(loaded.smsPhone, saved.smsPhone);
    EXPECT_EQ(loaded.smsTo, saved.smsTo);
    EXPECT_EQ(loaded.mailTo1, saved.mailTo1);
  }
}

TEST(AtomicWriteTest, WritesOwnerOnlyFileAndLeavesNoTemporaryFile) {
  ScratchFolder folder;
  const std::string path = folder.File("setting.ini");
  WriteBytes(path, "old\r\n");
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);

  const std::string content("new\r\n\x00\xff\r\n", 9);
  ASSERT_TRUE(WriteFileAtomically(path, content));
  EXPECT_EQ(ReadBytes(path), content);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"setting.ini"});
#if defined(__unix__)
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST(AtomicWriteTest, MissingFolderFailsWithoutLeavingAnything) {
  ScratchFolder folder;
  EXPECT_FALSE(WriteFileAtomically(folder.File("gone/setting.ini"), "x"));
  EXPECT_TRUE(folder.Entries().empty());

  SettingsStore store((folder.path() / "gone").string(), "/");
  EXPECT_FALSE(store.SaveSettings(FilledSettings()));
  EXPECT_FALSE(store.SaveSMTPSettings(FilledSettings()));
  EXPECT_TRUE(folder.Entries().empty());
}

TEST(AtomicWriteTest, FailedRenameRemovesTheWrittenTemporaryFile) {
  ScratchFolder folder;
  const std::string path = folder.File("setting.ini");
  fs::create_directory(path);
  WriteBytes(path + "/keep", "kept");
  EXPECT_FALSE(WriteFileAtomically(path, "content"));
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"setting.ini"});
  EXPECT_EQ(ReadBytes(path + "/keep"), "kept");
}

#if defined(__unix__)
// Holds the process's file size limit low (writes past it fail with EFBIG) for one scope.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit low = saved_;
    low.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &low);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST(AtomicWriteTest, FailedWriteKeepsTheOldFileWhole) {
  ScratchFolder folder;
  const std::string path = folder.File("setting.ini");
  const std::string old = "old content\r\n";
  WriteBytes(path, old);
  const std::string big(64 * 1024, 'x');
  bool written = true;
  {
    FileSizeLimit limit(1024);
    written = WriteFileAtomically(path, big);
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"setting.ini"});
}
#endif

TEST(ReadWholeFileTest, ReturnsEveryByteOrNothing) {
  ScratchFolder folder;
  const std::string content("a\r\n\x00\xff\rb", 7);
  WriteBytes(folder.File("data"), content);
  EXPECT_EQ(ReadWholeFile(folder.File("data")), content);
  WriteBytes(folder.File("empty"), "");
  EXPECT_EQ(ReadWholeFile(folder.File("empty")), "");
  EXPECT_EQ(ReadWholeFile(folder.File("missing")), std::nullopt);
  EXPECT_EQ(ReadWholeFile(folder.path().string()), std::nullopt);
}

}  // namespace
}  // namespace tarnwick
