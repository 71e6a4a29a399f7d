// The POSIX file service against real files: owner-only from creation whatever the umask, bounded
// reads that never block, failures that keep the old file and name the system's reason.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/posix/posix_file_system.h"
#include "support/file_mode.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ModeOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

size_t EntriesIn(const std::filesystem::path& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

// Clears the umask for one test, so a mode that is only right because of the umask shows.
class OpenUmask : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = ::umask(0); }
  void TearDown() override { ::umask(saved_); }
  PosixFileSystem files_;
  TempDir dir_;

 private:
  mode_t saved_ = 0;
};

TEST_F(OpenUmask, EveryCreatedFileAndFolderIsOwnerOnly) {
  const std::string folder = dir_ / "a/b/monitor_log";
  ASSERT_TRUE(files_.MakeFolder(folder).ok);
  EXPECT_EQ(ModeOf(dir_ / "a"), 0700u);
  EXPECT_EQ(ModeOf(folder), 0700u);

  ASSERT_TRUE(files_.AppendFile(folder + "/log.txt", "line\r\n").ok);
  EXPECT_EQ(ModeOf(folder + "/log.txt"), 0600u);

  const std::string settings = dir_ / "setting.ini";
  WriteFile(settings, "old");
  ::chmod(settings.c_str(), 0644);
  ASSERT_TRUE(files_.ReplaceFile(settings, "new").ok);
  EXPECT_EQ(ModeOf(settings), 0600u);
  EXPECT_EQ(ReadFile(settings), "new");
  EXPECT_EQ(EntriesIn(dir_.path()), 2u) << "no temporary file stays beside the target";
}

TEST_F(OpenUmask, ExistingFolderKeepsItsMode) {
  const std::string folder = dir_ / "shared";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_TRUE(files_.MakeFolder(folder).ok);
  EXPECT_EQ(ModeOf(folder), 0755u);
}

TEST(PosixFileSystemTest, ReadIsBoundedAndSaysWhetherItWasCut) {
  PosixFileSystem files;
  TempDir dir;
  struct Case {
    std::string content;
    size_t limit;
    std::string expected;
    bool truncated;
  };
  const Case cases[] = {
      {"", 4, "", false},
      {"abcd", 4, "abcd", false},
      {"abcde", 4, "abcd", true},
      {std::string(100000, 'x'), 10, std::string(10, 'x'), true},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "f", c.content);
    const FileReadResult read = files.ReadFile(dir / "f", c.limit);
    EXPECT_EQ(read.status, FileReadStatus::Ok);
    EXPECT_EQ(read.content, c.expected);
    EXPECT_EQ(read.truncated, c.truncated) << c.content.size() << " bytes, limit " << c.limit;
  }
}

TEST(PosixFileSystemTest, MissingAndUnreadableAreTold) {
  PosixFileSystem files;
  TempDir dir;
  EXPECT_EQ(files.ReadFile(dir / "none", 10).status, FileReadStatus::Missing);

  const FileReadResult folder = files.ReadFile(dir.path().string(), 10);
  EXPECT_EQ(folder.status, FileReadStatus::Unreadable);
  EXPECT_FALSE(folder.reason.empty());

  // A FIFO with no writer would block a plain open forever.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(files.ReadFile(dir / "fifo", 10).status, FileReadStatus::Unreadable);
}

TEST(PosixFileSystemTest, FailuresNameTheReasonAndKeepTheOldFile) {
  PosixFileSystem files;
  TempDir dir;
  const FileResult noFolder = files.ReplaceFile(dir / "gone/setting.ini", "x");
  EXPECT_FALSE(noFolder.ok);
  EXPECT_EQ(noFolder.reason, "No such file or directory");

  // Renaming over a folder fails after the temporary file was written: it must not stay.
  ASSERT_EQ(::mkdir((dir / "setting.ini").c_str(), 0700), 0);
  EXPECT_FALSE(files.ReplaceFile(dir / "setting.ini", "x").ok);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);

  // A device is no log file, whatever its folder.
  const FileResult device = files.AppendFile("/dev/full", "line\r\n");
  EXPECT_FALSE(device.ok);
  EXPECT_EQ(device.reason, "the file is not a regular file");
}

// The log folder itself and its files are the program's to check; the folders above it are the
// system's (a home folder reached through a link is common) and are followed.
TEST(PosixFileSystemTest, AppendFollowsLinksAboveTheFolderOnly) {
  PosixFileSystem files;
  TempDir dir;
  ASSERT_EQ(::mkdir((dir / "real").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((dir / "real/monitor_log").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "home").c_str()), 0);
  const FileResult appended = files.AppendFile(dir / "home/monitor_log/log.txt", "line\r\n");
  EXPECT_TRUE(appended.ok) << appended.reason;
  EXPECT_EQ(appended.written, 6u);
  EXPECT_EQ(ReadFile(dir / "real/monitor_log/log.txt"), "line\r\n");

  ASSERT_EQ(::symlink((dir / "real/monitor_log").c_str(), (dir / "monitor_log").c_str()), 0);
  const FileResult linked = files.AppendFile(dir / "monitor_log/log.txt", "line\r\n");
  EXPECT_FALSE(linked.ok);
  EXPECT_EQ(linked.reason, "the folder " + (dir / "monitor_log") + " is a symbolic link");
  EXPECT_EQ(linked.written, 0u);
  EXPECT_EQ(ReadFile(dir / "real/monitor_log/log.txt"), "line\r\n");
}

TEST(PosixFileSystemTest, StaleTemporariesOfTheTargetAreRemovedOthersStay) {
  PosixFileSystem files;
  TempDir dir;
  for (const char* name : {"setting.ini.tmp123", "setting.ini.tmp9", "setting.ini.tmpx",
                           "setting.ini", "smtpsvr.ini.tmp5", "setting.ini.tmp"}) {
    WriteFile(dir / name, "x");
  }
  EXPECT_EQ(files.RemoveStaleTemporaries(dir / "setting.ini"), 2);
  EXPECT_FALSE(files.Exists(dir / "setting.ini.tmp123"));
  EXPECT_FALSE(files.Exists(dir / "setting.ini.tmp9"));
  for (const char* kept :
       {"setting.ini.tmpx", "setting.ini", "smtpsvr.ini.tmp5", "setting.ini.tmp"}) {
    EXPECT_TRUE(files.Exists(dir / kept)) << kept;
  }
}

}  // namespace
}  // namespace tarnwick
