// The desktop session's start entry in a real configuration folder.
#include "platform/linux/xdg_autostart.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/posix_file_system.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadFile;
using testing::TempDir;

TEST(XdgAutostartTest, OnWritesTheEntryOffRemovesIt) {
  TempDir dir;
  PosixFileSystem files;
  XdgAutostart autostart(files, dir / "config", "/usr/lib/tarnwick/tarnwick");
  EXPECT_FALSE(autostart.IsEnabled());
  ASSERT_TRUE(autostart.SetEnabled(true).ok);
  EXPECT_TRUE(autostart.IsEnabled());
  const std::string entry = ReadFile(dir / "config/autostart/tarnwick.desktop");
  EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
  EXPECT_NE(entry.find("\nExec=/usr/lib/tarnwick/tarnwick\n"), std::string::npos);
  ASSERT_TRUE(autostart.SetEnabled(false).ok);
  EXPECT_FALSE(autostart.IsEnabled());
  EXPECT_TRUE(autostart.SetEnabled(false).ok) << "removing an absent entry is no failure";
}

TEST(XdgAutostartTest, ProgramPathsAreQuotedByTheDesktopEntryRules) {
  TempDir dir;
  PosixFileSystem files;
  struct Case {
    std::string program;
    std::string exec;
  };
  const Case cases[] = {
      {"/opt/tw/tarnwick", "Exec=/opt/tw/tarnwick\n"},
      {"/home/ann/My Tools/tarnwick", "Exec=\"/home/ann/My Tools/tarnwick\"\n"},
      {"/home/ann/a\"b$c/tarnwick", "Exec=\"/home/ann/a\\\\\"b\\\\$c/tarnwick\"\n"},
      {"/home/ann/100%/tarnwick", "Exec=/home/ann/100%%/tarnwick\n"},
      {"/home/ann/x\nName=evil/tarnwick", "Exec=\"/home/ann/x Name=evil/tarnwick\"\n"},
  };
  for (const Case& c : cases) {
    const std::string text = XdgAutostart(files, dir / "config", c.program).EntryText();
    EXPECT_NE(text.find("\n" + c.exec), std::string::npos) << text;
    EXPECT_EQ(text.find("\nName=evil"), std::string::npos);
  }
}

TEST(XdgAutostartTest, AnUnwritableFolderNamesTheReason) {
  TempDir dir;
  PosixFileSystem files;
  testing::WriteFile(dir / "config", "a file where the folder should be");
  const FileResult result = XdgAutostart(files, dir / "config", "/bin/tarnwick").SetEnabled(true);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.reason, "Not a directory");
}

}  // namespace
}  // namespace tarnwick
