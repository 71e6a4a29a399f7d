// The settings folder's two marks, on the real file system: the lock of one --set at a time and
// the marker of a running tarnwickd. Both are read by other processes; here the second holder is
// a second open in this process, which the system keeps apart just as it keeps processes apart
// (flock per open file description, sharing modes and LockFileEx per handle).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "platform/instance_marker.h"
#include "platform/settings_lock.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/trusted_paths.h"
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

long OwnPid() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(::getpid());
#endif
}

#ifndef _WIN32
std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
#endif

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class SettingsFolderTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::string folder() const { return dir.path().string(); }
  fs::path marker() const { return dir.path() / std::string(kInstanceMarkerFileName); }
};

TEST_F(SettingsFolderTest, TheMarkerNamesOnlyAHolderThatStillHoldsIt) {
  EXPECT_EQ(RunningInstance(folder()), 0) << "no file";
  const struct {
    const char* proves;
    std::function<void()> before;  // what is in the folder before HoldInstanceMarker
  } cases[] = {
      {"a fresh folder", [] {}},
      {"a file left by a killed process", [this] { Write(marker(), "99999\n"); }},
      {"a file left half-written", [this] { Write(marker(), "12"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.proves);
    c.before();
    EXPECT_EQ(RunningInstance(folder()), 0) << "a file no one holds is stale";
    std::string reason;
    std::unique_ptr<HeldInstanceMarker> held = HoldInstanceMarker(folder(), reason);
    ASSERT_NE(held, nullptr) << reason;
    EXPECT_EQ(RunningInstance(folder()), OwnPid());
#ifndef _WIN32
    // On Windows only an open that shares writing and deleting reads it: RunningInstance's above.
    EXPECT_EQ(Read(marker()), std::to_string(OwnPid()) + "\n");
    struct stat info {};
    ASSERT_EQ(::stat(marker().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif

    std::string second;
    EXPECT_EQ(HoldInstanceMarker(folder(), second), nullptr) << "held twice";
    EXPECT_EQ(second, std::string(kInstanceMarkerHeld) + std::to_string(OwnPid()) + ")");

    held.reset();
    EXPECT_EQ(RunningInstance(folder()), 0) << "released";
    EXPECT_FALSE(fs::exists(marker())) << "a released marker leaves no file";
  }
}

TEST_F(SettingsFolderTest, OneLockAtATimeAndABusyOneIsReportedAfterTheWait) {
  std::string reason;
  std::unique_ptr<HeldSettingsLock> first = LockSettingsFolder(folder(), 0, reason);
  ASSERT_NE(first, nullptr) << reason;
#ifndef _WIN32
  struct stat info {};
  ASSERT_EQ(::stat((dir.path() / std::string(kSettingsLockFileName)).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
  const auto start = std::chrono::steady_clock::now();
  std::string busy;
  EXPECT_EQ(LockSettingsFolder(folder(), 200, busy), nullptr);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(busy, "the settings folder " + folder() + std::string(kSettingsLockBusy));

  first.reset();
  std::string again;
  EXPECT_NE(LockSettingsFolder(folder(), 0, again), nullptr) << again;
}

#ifndef _WIN32
// A file or a link someone else put in the folder is never opened through, written or trusted.
TEST_F(SettingsFolderTest, ALinkOrAForeignFolderIsNeitherFollowedNorTrusted) {
  testing::TempDir elsewhere;
  const fs::path target = elsewhere.path() / "target";
  Write(target, "4242\n");
  const fs::path lockFile = dir.path() / std::string(kSettingsLockFileName);
  const auto hold = [this] {
    std::string reason;
    return HoldInstanceMarker(folder(), reason) == nullptr ? reason : "held";
  };
  const auto lock = [this] {
    std::string reason;
    return LockSettingsFolder(folder(), 0, reason) == nullptr ? reason : "locked";
  };
  const struct {
    const char* proves;
    fs::path link;  // made a link to `target`; empty: the folder is opened to everyone instead
    std::function<std::string()> attempt;
    std::string reason;
  } cases[] = {
      {"a link in the marker's place", marker(), hold,
       "the file " + folder() + "/tarnwickd.pid" + std::string(kIsALink)},
      {"a link in the lock's place", lockFile, lock,
       "the file " + folder() + "/.settings.lock" + std::string(kIsALink)},
      {"a marker in a folder others may write",
       {},
       hold,
       "the folder " + folder() + " may be written by other users (mode 0777)"},
      {"a lock in a folder others may write",
       {},
       lock,
       "the folder " + folder() + " may be written by other users (mode 0777)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.proves);
    if (c.link.empty()) {
      fs::permissions(dir.path(), fs::perms::all);
    } else {
      fs::create_symlink(target, c.link);
    }
    EXPECT_EQ(c.attempt(), c.reason);
    EXPECT_EQ(RunningInstance(folder()), 0);
    EXPECT_EQ(Read(target), "4242\n") << "the link's target is untouched";
    fs::permissions(dir.path(), fs::perms::owner_all);
    fs::remove(marker());
    fs::remove(lockFile);
  }
}
#endif

}  // namespace
}  // namespace tarnwick
