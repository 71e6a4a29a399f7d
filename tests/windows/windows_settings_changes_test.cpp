// The settings folder's watch under Wine: which changes ask for a reload, how many requests a
// burst of changes gives, and the service's request, each waking the program's wait.
#include "platform/windows/windows_settings_changes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

#include "common/utf8_path.h"
#include "platform/windows/wide_text.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Counts the wakes and lets the test wait for the next one.
class WakeCounter final : public IEventWait {
 public:
  void WaitFor(std::chrono::milliseconds) override {}
  void Wake() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
    changed_.notify_all();
  }
  // Whether a wake came (beyond `seen`) within `limit`.
  bool WokenWithin(std::chrono::milliseconds limit, int seen = 0) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return wakes_ > seen; });
  }
  int wakes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return wakes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int wakes_ = 0;
};

std::string Folder(const testing::TempDir& dir) {
  return Utf8FromPath(dir.path());
}

void WriteFile(const testing::TempDir& dir, const std::string& name, const std::string& text) {
  std::ofstream out(dir.path() / win::Wide(name), std::ios::binary | std::ios::trunc);
  out << text;
}

// Under Wine the notifications come from inotify within milliseconds; this leaves room for a
// loaded machine.
constexpr auto kNotifyLimit = 5s;
// How long a change that must not count is given to show up anyway.
constexpr auto kQuietLimit = 1500ms;

TEST(WindowsSettingsChanges, OnlyTheThreeSettingsFilesAskForAReload) {
  struct Case {
    const char* what;
    std::string file;
    bool request;
  };
  const Case cases[] = {
      {"setting.ini", "setting.ini", true},
      {"smtpsvr.ini", "smtpsvr.ini", true},
      {"names compare without case", "PgmSetting.INI", true},
      {"the log beside them", "tarnwick.log", false},
      {"a name that only starts like one", "setting.ini.bak", false},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    WakeCounter wake;
    WindowsSettingsChanges changes(Folder(dir), wake);
    ASSERT_EQ(changes.WatchFailure(), "") << c.what;
    WriteFile(dir, c.file, "5\r\n");
    EXPECT_EQ(wake.WokenWithin(c.request ? kNotifyLimit : kQuietLimit), c.request) << c.what;
    EXPECT_EQ(changes.TakeRequest(), c.request) << c.what;
  }
}

TEST(WindowsSettingsChanges, ASaveThatRenamesItsTemporaryFileIntoPlaceAsksForAReload) {
  testing::TempDir dir;
  WriteFile(dir, "setting.ini", "5\r\n");
  WriteFile(dir, "setting.ini.tmp", "10\r\n");
  WakeCounter wake;
  WindowsSettingsChanges changes(Folder(dir), wake);
  ASSERT_TRUE(MoveFileExW(win::Wide(dir / "setting.ini.tmp").c_str(),
                          win::Wide(dir / "setting.ini").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_TRUE(wake.WokenWithin(kNotifyLimit));
  EXPECT_TRUE(changes.TakeRequest());
}

TEST(WindowsSettingsChanges, ABurstOfChangesGivesOneRequestThatTakingClears) {
  testing::TempDir dir;
  WakeCounter wake;
  WindowsSettingsChanges changes(Folder(dir), wake);
  for (int i = 0; i < 50; ++i) WriteFile(dir, "setting.ini", std::to_string(i) + "\r\n");
  ASSERT_TRUE(wake.WokenWithin(kNotifyLimit));
  // Let the burst's last notifications arrive, then take them all at once.
  for (int seen = wake.wakes(); wake.WokenWithin(500ms, seen); seen = wake.wakes()) {
  }
  EXPECT_TRUE(changes.TakeRequest());
  EXPECT_FALSE(changes.TakeRequest());
}

TEST(WindowsSettingsChanges, TheServicesRequestReachesTheLiveInstanceOnly) {
  testing::TempDir dir;
  {
    WakeCounter wake;
    WindowsSettingsChanges changes(Folder(dir), wake);
    RequestSettingsReload();
    EXPECT_EQ(wake.wakes(), 1);
    EXPECT_TRUE(changes.TakeRequest());
    EXPECT_FALSE(changes.TakeRequest());
  }
  // After the program's instance is gone the request has nowhere to go, and does no harm.
  RequestSettingsReload();
}

TEST(WindowsSettingsChanges, AFolderThatCannotBeWatchedIsNamedAndTheServicesRequestStillCounts) {
  testing::TempDir dir;
  const std::string missing = dir / "missing";
  WakeCounter wake;
  WindowsSettingsChanges changes(missing, wake);
  EXPECT_NE(changes.WatchFailure().find(missing), std::string::npos) << changes.WatchFailure();
  RequestSettingsReload();
  EXPECT_TRUE(changes.TakeRequest());
}

}  // namespace
}  // namespace tarnwick
