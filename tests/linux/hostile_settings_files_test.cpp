// Settings files and the daily log against a hostile machine, with real files: another local user
// racing every save, files that exist but cannot be read, files of 100 MB, a log folder that
// others could list, a log folder or file that another user put in place, a disk that fills up
// in the middle of a line.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "engine/activity_log.h"
#include "headless/settings_command.h"
#include "platform/posix/posix_file_system.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

const std::string kProgramFolder = "/usr/lib/tarnwick";

// An ordinary user without an account: only the numbers matter to the kernel.
constexpr uid_t kOtherUser = 1234;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Runs `body` in a child process as kOtherUser; its return value is the child's exit code.
template <typename Body>
int AsOtherUser(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

Settings WithPasswords() {
  Settings s;
  s.TimeInterval = "5";
  s.smsEmail = "ops@example.org";
  s.smsPassword = "account secret";
  s.MailPass = "smtp secret";
  s.min_Select = "5";
  return s;
}

TEST(HostileSettingsFiles, AnotherUserRacingTheSaveNeverOpensAFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a second user";
  TempDir dir;
  // Others may list and enter the folder, as a program folder under /opt allows.
  ::chmod(dir.path().c_str(), 0755);
  const std::string folder = dir.path().string();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);

  // The other user opens every file it sees in the folder, as fast as it can, until killed.
  const pid_t racer = ::fork();
  if (racer == 0) {
    ::close(ready[0]);
    if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(100);
    if (::write(ready[1], "x", 1) != 1) ::_exit(103);
    for (;;) {
      DIR* listing = ::opendir(folder.c_str());
      if (listing == nullptr) ::_exit(102);
      while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = ::open((folder + "/" + entry->d_name).c_str(), O_RDONLY | O_NONBLOCK);
        if (fd >= 0) ::_exit(1);
      }
      ::closedir(listing);
    }
  }
  ::close(ready[1]);
  char go = 0;
  ASSERT_EQ(::read(ready[0], &go, 1), 1);
  ::close(ready[0]);

  PosixFileSystem files;
  testing::RecordingUi ui;
  SettingsStore store(files, folder, "/");
  const auto until = std::chrono::steady_clock::now() + 3s;
  int saves = 0;
  while (std::chrono::steady_clock::now() < until) {
    ASSERT_TRUE(store.SaveSettings(WithPasswords(), ui));
    ASSERT_TRUE(store.SaveSMTPSettings(WithPasswords(), ui));
    saves += 2;
  }
  int status = 0;
  const pid_t ended = ::waitpid(racer, &status, WNOHANG);
  if (ended == 0) {
    ::kill(racer, SIGKILL);
    ::waitpid(racer, &status, 0);
  }
  EXPECT_TRUE(ended == 0) << "the other user opened a settings file (exit "
                          << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << ") in " << saves
                          << " saves";
  EXPECT_EQ(ModeOf(store.SettingPath()), 0600u);
  EXPECT_EQ(ModeOf(store.SmtpPath()), 0600u);
}

TEST(HostileSettingsFiles, TemporaryFilesOfAKilledSaveAreRemovedAtTheNextStart) {
  TempDir dir;
  PosixFileSystem files;
  SettingsStore store(files, dir.path().string(), "/");
  testing::WriteFile(store.SettingPath() + ".tmp123456", "half a save");
  testing::WriteFile(store.SmtpPath() + ".tmp99", "half a save");
  testing::WriteFile(dir / "notes.tmp1", "not ours");
  Settings s;
  store.LoadSettings(s, "HOST", kProgramFolder);
  EXPECT_FALSE(std::filesystem::exists(store.SettingPath() + ".tmp123456"));
  EXPECT_FALSE(std::filesystem::exists(store.SmtpPath() + ".tmp99"));
  EXPECT_TRUE(std::filesystem::exists(dir / "notes.tmp1"));
}

// Mode 0200: the owner may write the file but not read it. Root reads any file, so the program
// runs as the file's owner in a child.
TEST(HostileSettingsFiles, WriteOnlyFilesAreToldKeptOffAndNotOverwrittenByDefault) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a second user";
  TempDir dir;
  const std::string folder = dir.path().string();
  const std::string smtp = folder + "/smtpsvr.ini";
  const std::string user = "1\r\nsmtp.example.org\r\n587\r\nm@x.org\r\nm@x.org\r\nxx\r\n1\r\n5\r\n";
  testing::WriteFile(smtp, user);
  ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::chown(smtp.c_str(), kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::chmod(smtp.c_str(), 0200), 0);

  const int code = AsOtherUser([&] {
    PosixFileSystem files;
    testing::RecordingUi ui;
    SettingsStore store(files, folder, "/");
    Settings s;
    const auto loaded = store.LoadSettings(s, "HOST", kProgramFolder);
    if (loaded.notices.size() != 1 ||
        loaded.notices[0] !=
            "Cannot read settings file " + smtp + ": Permission denied; its features stay off") {
      return 2;
    }
    if (s.Enable_SMTP != 0 || s.alive_Email != 0 || loaded.aliveMinutes != 0) return 3;
    // Save with no edit: the default No keeps the user's file.
    if (store.SaveSMTPSettings(s, ui)) return 4;
    if (ui.messages.size() != 1 || ui.messages[0].buttons != MessageButtons::YesNo ||
        ui.messages[0].text.find(smtp) == std::string::npos ||
        ui.messages[0].text.find("Permission denied") == std::string::npos) {
      return 5;
    }
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(testing::ReadFile(smtp), user);
}

// 100 MB without a line end, and 100 MiB of CR: only the first 64 KiB are read.
TEST(HostileSettingsFiles, HugeFilesCostLittleMemoryAndTimeBeforeTheFirstCycle) {
  TempDir dir;
  const std::string folder = dir.path().string();
  {
    const int fd = ::open((folder + "/setting.ini").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const std::string line(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) ASSERT_EQ(::write(fd, line.data(), line.size()), 1 << 20);
    ::close(fd);
    const int cr = ::open((folder + "/smtpsvr.ini").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(cr, 0);
    const std::string returns(1 << 20, '\r');
    for (int i = 0; i < 100; ++i) ASSERT_EQ(::write(cr, returns.data(), returns.size()), 1 << 20);
    ::close(cr);
  }
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  // A child of its own, so its peak memory is the load's and not this test program's.
  const pid_t child = ::fork();
  if (child == 0) {
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    PosixFileSystem files;
    SettingsStore store(files, folder, "/");
    Settings s;
    const auto loaded = store.LoadSettings(s, "HOST", kProgramFolder);
    const long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const long grownKiB = after.ru_maxrss - before.ru_maxrss;
    const long figures[3] = {ms, grownKiB, static_cast<long>(loaded.notices.size())};
    if (::write(report[1], figures, sizeof figures) != sizeof figures) ::_exit(2);
    ::_exit(s.TimeInterval.size() == 64 * 1024 ? 0 : 1);
  }
  ::close(report[1]);
  long figures[3] = {};
  ASSERT_EQ(::read(report[0], figures, sizeof figures), static_cast<ssize_t>(sizeof figures));
  ::close(report[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the first 64 KiB are the line";
  std::printf("load of two 100 MB settings files: %ld ms, peak memory grew by %ld KiB\n",
              figures[0], figures[1]);
  // Generous bounds for a loaded machine; reading the whole files took 4 GB and 35 s.
  EXPECT_LT(figures[0], 2000);
  EXPECT_LT(figures[1], 16 * 1024);
  EXPECT_EQ(figures[2], 2);
}

TEST(HostileSettingsFiles, DailyLogAndItsFolderAreOwnerOnly) {
  TempDir dir;
  ::umask(022);
  testing::FakeClock clock;
  clock.now = LocalTime{2026, 12, 4, 10, 15, 7};
  Settings settings;
  settings.Enable_log = 1;
  PosixFileSystem files;
  const std::string folder = dir / "monitor_log";
  ActivityLog log(clock, settings, files, folder, "/");
  log.EnsureFolder();
  log.WriteLog("Send Mail Alert to ops@example.org via SMTP server smtp.example.org");
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(log.DailyFilePath(clock.now)), 0600u);
}

// A disk that is full for this process (the file size limit): the write fails with the system's
// reason, said once, and the file is written again once there is room.
TEST(HostileSettingsFiles, LogLinesThatCannotBeWrittenAreToldOnce) {
  TempDir dir;
  testing::FakeClock clock;
  clock.now = LocalTime{2026, 12, 4, 10, 15, 7};
  Settings settings;
  settings.Enable_log = 1;
  PosixFileSystem files;
  ActivityLog log(clock, settings, files, dir.path().string(), "/");
  // The file size limit makes the disk full for this process: the log is already at the limit,
  // the captured standard error stays below it.
  constexpr rlim_t kLimit = 4096;
  testing::WriteFile(log.DailyFilePath(clock.now), std::string(kLimit, '.'));
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = ::signal(SIGXFSZ, SIG_IGN);
  rlimit low = saved;
  low.rlim_cur = kLimit;
  ::setrlimit(RLIMIT_FSIZE, &low);
  ::testing::internal::CaptureStderr();
  log.WriteLog("first line past the limit");
  log.WriteLog("second line past the limit");
  const std::string told = ::testing::internal::GetCapturedStderr();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);
  EXPECT_NE(
      told.find("Cannot write the log file " + log.DailyFilePath(clock.now) + ": File too large"),
      std::string::npos)
      << told;
  EXPECT_EQ(told.find('\n'), told.size() - 1) << "said once: " << told;
  log.WriteLog("space is back");
  EXPECT_NE(testing::ReadFile(log.DailyFilePath(clock.now)).find("space is back"),
            std::string::npos);
}

// What another user could have put where the program expects a folder of its own: `plant` makes
// `folder` (missing at first) from `theirs`, a folder of the other user's with their files; `why`
// follows "the folder FOLDER", or stands alone for a file.
using Plant = std::function<void(const std::string& folder, const std::string& theirs)>;
struct Planting {
  const char* name;
  Plant plant;
  std::string why;
};
std::vector<Planting> ForeignFolders() {
  return {
      {"a link to their folder",
       [](const std::string& folder, const std::string& theirs) {
         ASSERT_EQ(::symlink(theirs.c_str(), folder.c_str()), 0);
       },
       " is a symbolic link"},
      {"their folder, with their files",
       [](const std::string& folder, const std::string& theirs) {
         ::mkdir(folder.c_str(), 0755);
         for (const auto& entry : std::filesystem::directory_iterator(theirs)) {
           std::filesystem::copy_file(entry.path(),
                                      std::filesystem::path(folder) / entry.path().filename());
         }
         ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
       },
       " belongs to another user (uid 1234)"},
      {"a folder anyone may write",
       [](const std::string& folder, const std::string&) {
         ::mkdir(folder.c_str(), 0700);
         ::chmod(folder.c_str(), 01777);
       },
       " may be written by other users (mode 1777)"},
      {"a folder its group may write",
       [](const std::string& folder, const std::string&) {
         ::mkdir(folder.c_str(), 0700);
         ::chmod(folder.c_str(), 0770);
       },
       " may be written by other users (mode 0770)"},
  };
}

// Another user was there first: the log folder is a link to their folder, or belongs to them, or
// anyone may write it, or the daily file is a link, or another user's file that anyone may write.
// The log writes nothing there, follows no link, and one line says why.
TEST(HostileSettingsFiles, TheLogWritesNothingWhereAnotherUserCouldHavePutSomething) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
  testing::FakeClock clock;
  clock.now = LocalTime{2026, 12, 4, 10, 15, 7};
  Settings settings;
  settings.Enable_log = 1;
  const std::string day = "Tarnwick_log_1204.txt";
  // `folder` is the log folder to plant (missing at first), `theirs` a folder of the other user's
  // that holds `theirs`/victim.
  const auto ownFolder = [](const std::string& folder) { ::mkdir(folder.c_str(), 0700); };
  std::vector<Planting> cases = ForeignFolders();
  cases.insert(cases.end(),
               {
                   {"a daily file that links to theirs",
                    [&](const std::string& folder, const std::string& theirs) {
                      ownFolder(folder);
                      ASSERT_EQ(
                          ::symlink((theirs + "/victim").c_str(), (folder + "/" + day).c_str()), 0);
                    },
                    "the file is a symbolic link"},
                   {"their daily file that anyone may write",
                    [&](const std::string& folder, const std::string&) {
                      ownFolder(folder);
                      const std::string file = folder + "/" + day;
                      testing::WriteFile(file, "planted\r\n");
                      ::chmod(file.c_str(), 0666);
                      ASSERT_EQ(::chown(file.c_str(), kOtherUser, kOtherUser), 0);
                    },
                    "the file belongs to another user (uid 1234)"},
                   {"a FIFO in place of the daily file",
                    [&](const std::string& folder, const std::string&) {
                      ownFolder(folder);
                      ASSERT_EQ(::mkfifo((folder + "/" + day).c_str(), 0600), 0);
                    },
                    "No such device or address"},
               });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string folder = dir / "monitor_log";
    const std::string theirs = dir / "theirs";
    ::mkdir(theirs.c_str(), 0755);
    testing::WriteFile(theirs + "/victim", "theirs\n");
    ::chmod((theirs + "/victim").c_str(), 0666);
    ASSERT_EQ(::chown((theirs + "/victim").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
    c.plant(folder, theirs);
    std::string planted;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(folder + "/" + day))) {
      planted = testing::ReadFile(folder + "/" + day);
    }

    PosixFileSystem files;
    ActivityLog log(clock, settings, files, folder, "/");
    ::testing::internal::CaptureStderr();
    log.EnsureFolder();
    log.WriteLog("Send Mail Alert to ops@example.org via SMTP server smtp.example.org");
    log.WriteLog("Process hog (pid 4242) terminated");
    const std::string told = ::testing::internal::GetCapturedStderr();

    const std::string why = (c.why[0] == ' ' ? "the folder " + folder : std::string()) + c.why;
    EXPECT_EQ(told, "Cannot write the log file " + folder + "/" + day + ": " + why +
                        "; lines go to the window only until it can be written again\n");
    EXPECT_EQ(log.PaneLines().size(), 3u) << "the notice stands in the pane beside the lines";
    EXPECT_EQ(testing::ReadFile(theirs + "/victim"), "theirs\n");
    std::size_t inTheirs = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(theirs)) {
      ++inTheirs;
    }
    EXPECT_EQ(inTheirs, 1u) << "nothing new in the other user's folder";
    if (!planted.empty()) {
      EXPECT_EQ(testing::ReadFile(folder + "/" + day), planted);
    }
  }
}

// The settings files hold the kill rules and passwords: they are read and replaced only where no
// other user can have put a file or a link, under the log folder's rule. Root's program, and
// root's --show-settings and --set, refuse what another user planted with one line that says
// why, and reveal nothing of a file a link leads to.
TEST(HostileSettingsFiles, SettingsAreReadAndWrittenOnlyWhereNoOtherUserCouldHavePutAnything) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
  const std::string secret = "root:$6$secret-hash:19000:0:99999:7:::\r\n";
  const auto ownFolder = [](const std::string& folder) { ::mkdir(folder.c_str(), 0700); };
  std::vector<Planting> cases = ForeignFolders();
  cases.insert(
      cases.end(),
      {
          {"a setting.ini that links to a secret of root's",
           [&](const std::string& folder, const std::string& theirs) {
             ownFolder(folder);
             ASSERT_EQ(::symlink((theirs + "/shadow").c_str(), (folder + "/setting.ini").c_str()),
                       0);
           },
           "the file is a symbolic link"},
          {"their setting.ini in root's folder",
           [&](const std::string& folder, const std::string& theirs) {
             ownFolder(folder);
             std::filesystem::copy_file(theirs + "/setting.ini", folder + "/setting.ini");
             ASSERT_EQ(::chown((folder + "/setting.ini").c_str(), kOtherUser, kOtherUser), 0);
           },
           "the file belongs to another user (uid 1234)"},
      });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string folder = dir / "etc";
    const std::string theirs = dir / "theirs";
    ::mkdir(theirs.c_str(), 0755);
    // Their settings would kill everything but sshd; root's secret stands beside them.
    Settings planted = WithPasswords();
    planted.KillProc = 1;
    planted.PnameList = "sshd";
    planted.host_Name = "PLANTED";
    testing::WriteFile(theirs + "/setting.ini", FormatSettingFile(planted));
    testing::WriteFile(theirs + "/shadow", secret);
    ::chmod((theirs + "/shadow").c_str(), 0600);
    ASSERT_EQ(::chown((theirs + "/setting.ini").c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
    c.plant(folder, theirs);
    const std::string why = (c.why[0] == ' ' ? "the folder " + folder : std::string()) + c.why;
    const std::string setting = folder + "/setting.ini";

    // The program: one line, and none of what was planted in force.
    PosixFileSystem files;
    SettingsStore store(files, folder, "/");
    Settings s;
    const auto loaded = store.LoadSettings(s, "HOST", kProgramFolder);
    ASSERT_FALSE(loaded.notices.empty());
    EXPECT_EQ(loaded.notices[0],
              "Cannot read settings file " + setting + ": " + why + "; its features stay off");
    EXPECT_EQ(s.KillProc, 0);
    EXPECT_NE(s.host_Name, "PLANTED");

    // --show-settings and --set, as root runs them.
    testing::FakeSystemInfo system;
    system.programFolder = kProgramFolder;
    system.settingsFolder = folder;
    testing::FakeClock clock;
    SettingsCommand command(files, system, clock);
    const SettingsCommandResult shown = command.Show();
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_NE(shown.err.find(why), std::string::npos) << shown.err;
    for (const std::string& out : {shown.out, shown.err}) {
      EXPECT_EQ(out.find("secret-hash"), std::string::npos) << out;
      EXPECT_EQ(out.find("PLANTED"), std::string::npos) << out;
      EXPECT_EQ(out.find("sshd"), std::string::npos) << out;
    }
    struct NoPasswords final : IPasswordInput {
      PasswordRead ReadLine(const std::string&) override { return {}; }
    } passwords;
    const SettingsCommandResult set =
        command.Set(SettingsChange{{"cpu_High=90"}, {}, {}, false}, passwords);
    EXPECT_EQ(set.exitCode, 1) << set.out;
    EXPECT_NE(set.err.find(why), std::string::npos) << set.err;
    EXPECT_EQ(testing::ReadFile(theirs + "/setting.ini"), FormatSettingFile(planted));
    EXPECT_EQ(testing::ReadFile(theirs + "/shadow"), secret);
  }
}

// A disk that fills up in the middle of a line: the part of the line that reached the file is
// ended once there is room again, before the next line, so the file stays one event per line.
// The disks: a small tmpfs of the test's own (when it may mount one) and the file size limit.
TEST(HostileSettingsFiles, ALineCutShortByAFullDiskIsEndedBeforeTheNextLine) {
  testing::FakeClock clock;
  clock.now = LocalTime{2026, 12, 4, 10, 15, 7};
  Settings settings;
  settings.Enable_log = 1;
  // The file holds this much before the line; the line then fits only in part.
  constexpr size_t kPage = 4096;
  constexpr size_t kRoom = 10;
  const std::string before(kPage - kRoom - 2, '.');

  struct Disk {
    const char* name;
    // Makes the folder's disk full after `file`; false when this disk cannot be had here.
    std::function<bool(const std::string& folder, const std::string& file)> fill;
    std::function<void()> empty;
  };
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  std::string filler;
  const Disk disks[] = {
      {"tmpfs",
       [&](const std::string& folder, const std::string& file) {
         // A mount of its own, seen by this process only and gone with it.
         if (::unshare(CLONE_NEWNS) != 0 ||
             ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
             ::mount("tarnwick-test", folder.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) {
           return false;
         }
         testing::WriteFile(file, before + "\r\n");
         filler = folder + "/filler";
         const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
         const std::string block(kPage, 'f');
         while (::write(fd, block.data(), block.size()) > 0) {
         }
         ::close(fd);
         return true;
       },
       [&] { ::unlink(filler.c_str()); }},
      {"file size limit",
       [&](const std::string&, const std::string& file) {
         testing::WriteFile(file, before + "\r\n");
         ::signal(SIGXFSZ, SIG_IGN);
         rlimit low = saved;
         low.rlim_cur = kPage;
         return ::setrlimit(RLIMIT_FSIZE, &low) == 0;
       },
       [&] {
         ::setrlimit(RLIMIT_FSIZE, &saved);
         ::signal(SIGXFSZ, SIG_DFL);
       }},
  };
  for (const Disk& disk : disks) {
    SCOPED_TRACE(disk.name);
    TempDir dir;
    const std::string folder = dir / "monitor_log";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    PosixFileSystem files;
    ActivityLog log(clock, settings, files, folder, "/");
    const std::string file = log.DailyFilePath(clock.now);
    if (!disk.fill(folder, file)) {
      std::printf("%s: not available here, skipped\n", disk.name);
      continue;
    }
    ::testing::internal::CaptureStderr();
    log.WriteLog("cut short by the full disk");
    log.WriteLog("lost while the disk is full");
    const std::string told = ::testing::internal::GetCapturedStderr();
    disk.empty();
    log.WriteLog("room again");
    EXPECT_EQ(testing::ReadFile(file),
              before + "\r\n2026-12-04\r\n2026-12-04 10:15:07 - room again\r\n");
    EXPECT_EQ(told.find("Cannot write the log file " + file + ": "), 0u) << told;
    EXPECT_EQ(told.find('\n'), told.size() - 1) << "said once: " << told;
    if (std::string(disk.name) == "tmpfs") ::umount2(folder.c_str(), MNT_DETACH);
  }
}

}  // namespace
}  // namespace tarnwick
