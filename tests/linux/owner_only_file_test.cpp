// The history's export file: owner-only from its creation whatever the umask, an existing file
// of the user's emptied and taken down to owner-only, and nothing else written through: no link
// followed, no FIFO waited on, no other user's file taken.
#include "platform/owner_only_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/file_mode.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ModeOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(OwnerOnlyFile, NewAndExistingFilesAreWrittenOwnerOnly) {
  TempDir dir;
  const mode_t saved = ::umask(0);
  const std::string fresh = dir / "fresh.csv";
  const std::string old = dir / "old.csv";
  WriteFile(old, "an older and much longer export\n");
  ::chmod(old.c_str(), 0644);
  for (const std::string& path : {fresh, old}) {
    auto out = CreateOwnerOnlyFile(path);
    ASSERT_NE(out, nullptr) << path;
    EXPECT_EQ(ModeOf(path), 0600u) << "before anything is written: " << path;
    *out << "time,cpu\r\n";
    out->flush();
    EXPECT_TRUE(static_cast<bool>(*out));
    out.reset();
    EXPECT_EQ(ReadFile(path), "time,cpu\r\n") << path;
  }
  ::umask(saved);
}

TEST(OwnerOnlyFile, LinksFifosAndOtherUsersFilesAreRefusedUntouched) {
  TempDir dir;
  const std::string target = dir / "target";
  WriteFile(target, "kept");
  const std::string link = dir / "link.csv";
  std::filesystem::create_symlink(target, link);
  const std::string fifo = dir / "fifo.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::string> refused{link, fifo, dir.path().string()};
  const std::string others = dir / "others.csv";
  if (::geteuid() == 0) {
    WriteFile(others, "kept");
    ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);
    refused.push_back(others);
  }
  for (const std::string& path : refused) EXPECT_EQ(CreateOwnerOnlyFile(path), nullptr) << path;
  EXPECT_EQ(ReadFile(target), "kept");
  if (::geteuid() == 0) {
    EXPECT_EQ(ReadFile(others), "kept");
  }
}

}  // namespace
}  // namespace tarnwick
