// The Windows installer and the service under Wine, driven from Linux, each case in a fresh Wine
// prefix with one service manager of its own: the silent install with its files, Start menu
// entry, Programs and Features entry and Run entry; the installed programs started from their
// place; the uninstall that keeps the settings (or removes them with /PURGE); and the service,
// installed and started by the installer, alerting on a CPU hog through the web service's
// stand-in, restarted by an upgrade and stopped by the service manager. Runs when
// TARNWICK_WINDOWS_INSTALLER names the setup program and TARNWICK_WINDOWS_BIN the Windows build's
// program folder (tools/test-windows.sh sets both).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/program_runner.h"
#include "app/standin_service.h"
#include "mailer/mail_test_support.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kWine = "/usr/bin/wine";
constexpr const char* kWineserver = "/usr/bin/wineserver";
constexpr const char* kWineboot = "/usr/bin/wineboot";
constexpr const char* kAccount = "ops@x.example";
constexpr const char* kPassword = "p&ss #1 %";
constexpr const char* kInstallDir = "C:\\Program Files\\Tarnwick";
constexpr const char* kUninstallKey =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";
constexpr const char* kRunKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kServiceKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tarnwick";
constexpr const char* kEventSourceKey =
    "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tarnwick";

// Runs a child with its standard streams on /dev/null to its end; its exit code, or -1 when it
// did not end within `limit`. Wine's services keep the streams of the call that started them.
int RunQuietly(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               std::chrono::milliseconds limit) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  }
  const std::vector<char*> args = SpawnList(argv);
  const std::vector<char*> envp = SpawnList(environment);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  const auto deadline = SteadyClock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (SteadyClock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(50ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A Wine prefix of the test's own: created and booted by plain wineboot (one service manager;
// `wineboot -i` beside the loader's own start would leave two, which answer in turn). Its server
// ends with the prefix.
class FreshPrefix {
 public:
  explicit FreshPrefix(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder_);
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string e = *entry;
      const std::string name = e.substr(0, e.find('='));
      if (name.rfind("WINE", 0) == 0 || name == "DISPLAY" || name == "WAYLAND_DISPLAY") continue;
      env_.push_back(e);
    }
    env_.insert(env_.end(), {"WINEPREFIX=" + folder_.string(), "WINEDEBUG=-all",
                             "WINEDLLOVERRIDES=mscoree,mshtml=", "WINEARCH=win64"});
    Boot();
  }
  ~FreshPrefix() { RunQuietly({kWineserver, "-k"}, env_, 30s); }
  FreshPrefix(const FreshPrefix&) = delete;
  FreshPrefix& operator=(const FreshPrefix&) = delete;

  bool booted() const { return booted_; }
  // Ends every program of the prefix and boots it again, as a restart of Windows would.
  bool Restart() {
    RunQuietly({kWineserver, "-k"}, env_, 30s);
    Boot();
    return booted_;
  }
  const std::vector<std::string>& env() const { return env_; }

  // A Windows program of the prefix, run to its end.
  FinishedProgram Wine(const std::vector<std::string>& args,
                       std::chrono::milliseconds limit = 120s) const {
    std::vector<std::string> argv{kWine};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunToEnd(argv, env_, limit);
  }

  // A path of drive C: as Linux sees it ("Program Files/Tarnwick").
  fs::path C(const std::string& relative) const { return folder_ / "drive_c" / relative; }

  // The data of one registry value as `reg query` prints it; nullopt when it is not there.
  std::optional<std::string> RegValue(const std::string& key, const std::string& name) const {
    const FinishedProgram query = Wine({"reg", "query", key, "/v", name});
    const std::regex line("\\s+" + name + "\\s+REG_\\w+\\s+(.*?)\\r?$");
    for (const std::string& text : mailtest::Lines(query.out)) {
      std::smatch match;
      if (std::regex_match(text, match, line)) return match[1].str();
    }
    return std::nullopt;
  }
  bool KeyExists(const std::string& key) const { return Wine({"reg", "query", key}).exitCode == 0; }

  // The service's STATE word from `sc query` ("RUNNING", "STOPPED"), empty when there is none.
  std::string ServiceState() const {
    const std::string out = Wine({"sc", "query", "Tarnwick"}).out;
    std::smatch match;
    if (std::regex_search(out, match, std::regex("STATE\\s+:\\s+\\d+\\s+(\\w+)"))) {
      return match[1].str();
    }
    return {};
  }
  bool WaitForServiceState(const std::string& state, std::chrono::seconds limit) const {
    const auto deadline = SteadyClock::now() + limit;
    while (ServiceState() != state) {
      if (SteadyClock::now() >= deadline) return false;
      std::this_thread::sleep_for(200ms);
    }
    return true;
  }

 private:
  void Boot() {
    RunQuietly({kWineserver, "-p"}, env_, 30s);
    booted_ = RunQuietly({kWineboot}, env_, 180s) == 0;
  }

  fs::path folder_;
  std::vector<std::string> env_;
  bool booted_ = false;
};

// A Windows program of the prefix that runs until the test ends: its standard input is a pipe
// that stays open until then (the hog ends at its end of file), its output goes nowhere.
class Background {
 public:
  Background(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    int in[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::vector<char*> args = SpawnList(argv);
    const std::vector<char*> envp = SpawnList(environment);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    input_ = in[1];
  }
  ~Background() {
    if (input_ >= 0) close(input_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  bool started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
};

// Waits until `done` holds, up to `limit`.
template <typename Done>
bool WaitFor(Done done, std::chrono::seconds limit) {
  const auto deadline = SteadyClock::now() + limit;
  while (!done()) {
    if (SteadyClock::now() >= deadline) return false;
    std::this_thread::sleep_for(250ms);
  }
  return true;
}

// Every daily log in a folder, one after the other.
std::string DailyLogs(const fs::path& folder) {
  std::string all;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().filename().string().rfind("Tarnwick_log_", 0) == 0) {
      all += ReadFile(entry.path().string());
    }
  }
  return all;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class WindowsInstallUnderWine : public ::testing::Test {
 protected:
  TempDir dir;
  fs::path setup;
  fs::path windowsBin;

  void SetUp() override {
    const char* installer = std::getenv("TARNWICK_WINDOWS_INSTALLER");
    const char* bin = std::getenv("TARNWICK_WINDOWS_BIN");
    if (installer == nullptr || bin == nullptr || !fs::exists(installer)) {
      GTEST_SKIP() << "TARNWICK_WINDOWS_INSTALLER and TARNWICK_WINDOWS_BIN name no installer";
    }
    setup = installer;
    windowsBin = bin;
  }

  // The uninstaller hands over to a copy of itself and returns; the copy's end shows as the
  // program's folder gone.
  static bool Uninstall(const FreshPrefix& prefix, const std::vector<std::string>& switches) {
    std::vector<std::string> args{std::string(kInstallDir) + "\\uninstall.exe", "/S"};
    args.insert(args.end(), switches.begin(), switches.end());
    if (prefix.Wine(args).exitCode != 0) return false;
    return WaitFor([&] { return !fs::exists(prefix.C("Program Files/Tarnwick")); }, 60s);
  }
};

TEST_F(WindowsInstallUnderWine, SilentInstallSetsUpTheProgramAndUninstallKeepsOnlyTheSettings) {
  FreshPrefix prefix(dir.path() / "prefix");
  ASSERT_TRUE(prefix.booted());
  const FinishedProgram install = prefix.Wine({setup.string(), "/S", "/AUTOSTART=yes"});
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

  // The program's folder holds the programs and their assets, and the uninstaller.
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(prefix.C("Program Files/Tarnwick"))) {
    files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Hand-m.cur", "alert.wav", "alert1.wav", "eyerun.ico",
                                             "eyestop.ico", "mailcmdssl.exe", "tarnwick.exe",
                                             "tarnwickd.exe", "uninstall.exe"}));
  EXPECT_TRUE(
      fs::exists(prefix.C("ProgramData/Microsoft/Windows/Start Menu/Programs/Tarnwick.lnk")));

  // Programs and Features.
  const std::string installDir = kInstallDir;
  const struct {
    const char* name;
    std::string data;
  } entries[] = {
      {"DisplayName", "Tarnwick"},
      {"DisplayVersion", "4.3"},
      {"Publisher", "Tarnwick"},
      {"InstallLocation", installDir},
      {"UninstallString", "\"" + installDir + "\\uninstall.exe\""},
      {"QuietUninstallString", "\"" + installDir + "\\uninstall.exe\" /S"},
  };
  for (const auto& e : entries) {
    EXPECT_EQ(prefix.RegValue(kUninstallKey, e.name), e.data) << e.name;
  }
  const std::optional<std::string> size = prefix.RegValue(kUninstallKey, "EstimatedSize");
  ASSERT_TRUE(size.has_value());
  EXPECT_GT(std::stoul(*size, nullptr, 16), 1000u) << "kilobytes of the folder: " << *size;

  // Start with Windows: the desktop program's own entry, which the program itself switches.
  const std::string runEntry = "\"" + installDir + "\\tarnwick.exe\"";
  EXPECT_EQ(prefix.RegValue(kRunKey, "Tarnwick"), runEntry);
  EXPECT_EQ(prefix.Wine({installDir + "\\tarnwick.exe", "--autostart", "off"}).exitCode, 0);
  EXPECT_EQ(prefix.RegValue(kRunKey, "Tarnwick"), std::nullopt);
  EXPECT_EQ(prefix.Wine({installDir + "\\tarnwick.exe", "--autostart", "on"}).exitCode, 0);
  EXPECT_EQ(prefix.RegValue(kRunKey, "Tarnwick"), runEntry);
  EXPECT_EQ(prefix.Wine({installDir + "\\tarnwick.exe", "--autostart", "maybe"}).exitCode, 2);

  // The installed programs start from their place; no service was asked for.
  const FinishedProgram version = prefix.Wine({installDir + "\\tarnwickd.exe", "--version"});
  EXPECT_EQ(version.out.rfind("tarnwickd (Tarnwick) 4.3\r\n", 0), 0u) << version.out << version.err;
  EXPECT_EQ(prefix.ServiceState(), "");

  // The administrator's settings for the service stay through an uninstall.
  fs::create_directories(prefix.C("ProgramData/Tarnwick"));
  WriteFile(prefix.C("ProgramData/Tarnwick/setting.ini").string(), FormatSettingFile(Settings{}));
  ASSERT_TRUE(Uninstall(prefix, {}));
  EXPECT_FALSE(prefix.KeyExists(kUninstallKey));
  EXPECT_EQ(prefix.RegValue(kRunKey, "Tarnwick"), std::nullopt);
  EXPECT_FALSE(
      fs::exists(prefix.C("ProgramData/Microsoft/Windows/Start Menu/Programs/Tarnwick.lnk")));
  EXPECT_TRUE(fs::exists(prefix.C("ProgramData/Tarnwick/setting.ini")));

  // Asked to, the uninstaller removes them too.
  ASSERT_EQ(prefix.Wine({setup.string(), "/S"}).exitCode, 0);
  EXPECT_EQ(prefix.RegValue(kRunKey, "Tarnwick"), runEntry) << "a new install starts with Windows";
  ASSERT_TRUE(Uninstall(prefix, {"/PURGE"}));
  EXPECT_FALSE(fs::exists(prefix.C("ProgramData/Tarnwick")));
}

TEST_F(WindowsInstallUnderWine, ServiceAlertsOnAHogRunsAgainAfterAnUpgradeAndStopsOnStop) {
  const std::string serviceLog = (dir.path() / "service.jsonl").string();
  RunningProgram standIn(
      StandInCommand(kAccount, kPassword, serviceLog, {"--credits", "50", "--api-id", "AB12cd"}),
      ChildEnvironment(dir.path().string()));
  const std::string port = WaitForReadyPort(standIn);
  ASSERT_FALSE(port.empty());
  FreshPrefix prefix(dir.path() / "prefix");
  ASSERT_TRUE(prefix.booted());
  // The services of the prefix reach the stand-in: a variable of the system's environment, which
  // services get from the next start of Windows on.
  ASSERT_EQ(prefix
                .Wine({"reg", "add",
                       "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment",
                       "/v", "TARNWICK_SERVICE_HOST", "/d", "127.0.0.1:" + port, "/f"})
                .exitCode,
            0);
  ASSERT_TRUE(prefix.Restart());

  // The administrator's settings: every sample over the threshold, an alert after two.
  Settings s = AlertingSettings("SVCHOST", kAccount, kPassword);
  s.Enable_log = 1;
  fs::create_directories(prefix.C("ProgramData/Tarnwick"));
  WriteFile(prefix.C("ProgramData/Tarnwick/setting.ini").string(), FormatSettingFile(s));
  // A copy of the hog under a name of its own, burning one processor while the test runs.
  fs::create_directories(prefix.C("hog"));
  fs::copy_file(windowsBin / "win_hog.exe", prefix.C("hog/tarnhog.exe"));
  Background hog({kWine, "C:\\hog\\tarnhog.exe", "burn"}, prefix.env());
  ASSERT_TRUE(hog.started());

  const FinishedProgram install = prefix.Wine({setup.string(), "/S", "/SERVICE=yes"});
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  ASSERT_TRUE(prefix.WaitForServiceState("RUNNING", 10s)) << prefix.ServiceState();
  EXPECT_EQ(prefix.RegValue(kServiceKey, "ImagePath"),
            "\"" + std::string(kInstallDir) +
                "\\tarnwickd.exe\" --service --settings-dir C:\\ProgramData\\Tarnwick --log-dir "
                "C:\\ProgramData\\Tarnwick\\logs");
  EXPECT_EQ(prefix.RegValue(kServiceKey, "ObjectName"), "NT AUTHORITY\\LocalService")
      << "no kill rule: the service needs no more than LocalService";
  EXPECT_EQ(prefix.RegValue(kServiceKey, "Start"), "0x2") << "started automatically";
  EXPECT_EQ(prefix.RegValue(kEventSourceKey, "EventMessageFile"),
            std::string(kInstallDir) + "\\tarnwickd.exe");

  // The alert names the hog, in the service's log and at the web service.
  const fs::path logs = prefix.C("ProgramData/Tarnwick/logs");
  const bool alerted = WaitFor(
      [&] {
        for (const std::string& line : mailtest::Lines(ReadFile(serviceLog))) {
          if (Has(line, "smstoolsen.php") && Has(line, " SVCHOST CPU ") &&
              Has(line, "tarnhog.exe")) {
            return true;
          }
        }
        return false;
      },
      90s);
  const std::string log = DailyLogs(logs);
  ASSERT_TRUE(alerted) << ReadFile(serviceLog) << "\n" << log;
  EXPECT_TRUE(Has(log, " - Settings folder: C:\\ProgramData\\Tarnwick\r\n")) << log;
  EXPECT_TRUE(
      std::regex_search(log, std::regex(" SVCHOST CPU \\d+% exceed 0% for .*tarnhog\\.exe")))
      << log;

  // An upgrade stops the service to replace its program and starts it again.
  ASSERT_EQ(Count(log, " - Settings folder: "), 1u);
  ASSERT_EQ(prefix.Wine({setup.string(), "/S"}).exitCode, 0);
  EXPECT_TRUE(prefix.WaitForServiceState("RUNNING", 10s)) << prefix.ServiceState();
  EXPECT_TRUE(WaitFor([&] { return Count(DailyLogs(logs), " - Settings folder: ") == 2; }, 30s))
      << DailyLogs(logs);

  // The manager's stop ends it the way closing the window does: monitoring ends in the history.
  EXPECT_EQ(prefix.Wine({"sc", "stop", "Tarnwick"}).exitCode, 0);
  ASSERT_TRUE(prefix.WaitForServiceState("STOPPED", 15s)) << prefix.ServiceState();
  EXPECT_TRUE(Has(prefix.Wine({"sc", "query", "Tarnwick"}).out, "WIN32_EXIT_CODE    : 0 "));
  const FinishedProgram history =
      prefix.Wine({std::string(kInstallDir) + "\\tarnwickd.exe", "--log-dir",
                   "C:\\ProgramData\\Tarnwick\\logs", "--history"});
  EXPECT_EQ(Count(history.out, "Monitoring Stopped"), 2u) << history.out << history.err;

  // Uninstalled, the service and its Event Log source are gone.
  ASSERT_TRUE(Uninstall(prefix, {}));
  EXPECT_FALSE(prefix.KeyExists(kServiceKey));
  EXPECT_FALSE(prefix.KeyExists(kEventSourceKey));
  EXPECT_TRUE(fs::exists(logs));
}

}  // namespace
}  // namespace tarnwick::testing
