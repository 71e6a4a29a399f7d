// tarnwickd left alone: a web service that is down when it starts is logged in to once it is back,
// and an alert raised meanwhile waits for that login; settings changed with --set, by hand or
// announced with SIGHUP come into force at the next cycle, and a file that fails the checks leaves
// the running values as they were.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/program_runner.h"
#include "app/standin_service.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kAccount = "ops@x.example";
constexpr const char* kPassword = "secret";

// A loopback port nothing listens on (the system's pick, given back at once).
std::string UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return std::to_string(ntohs(address.sin_port));
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class TarnwickdLeftAlone : public ::testing::Test {
 protected:
  TempDir dir;
  fs::path program = dir.path() / "program";
  fs::path home = dir.path() / "home";
  std::string serviceLog = (dir.path() / "service.jsonl").string();

  void SetUp() override {
    MakeProgramFolder(program);
    fs::create_directories(home);
  }

  // Files as a Save writes them: every hour window filled in, so that they pass its checks.
  void WriteSettings(Settings s) {
    s.soundFrom = s.smsFrom = "0";
    s.soundTo = s.smsTo = "23";
    WriteFile((program / "setting.ini").string(), FormatSettingFile(s));
    WriteFile((program / "smtpsvr.ini").string(), FormatSmtpFile(s));
  }

  FinishedProgram Set(const std::vector<std::string>& assignments) {
    std::vector<std::string> argv{(program / "tarnwickd").string(), "--set"};
    argv.insert(argv.end(), assignments.begin(), assignments.end());
    return RunToEnd(argv, ChildEnvironment(home.string()));
  }
};

TEST_F(TarnwickdLeftAlone, AServiceDownAtStartIsLoggedInToOnceBackAndTheHeldAlertReachesIt) {
  // Every sample is over the CPU threshold while the burner runs, but no run of them is long
  // enough for an alert until the test shortens it.
  Settings s = AlertingSettings("OUTAGE", kAccount, kPassword, "32767");
  s.cpu_High = "10";
  s.mem_High = "100";
  WriteSettings(s);
  RunningProgram burner({TARNWICK_HOG, "burn"}, ChildEnvironment(home.string()));
  ASSERT_TRUE(burner.started());

  const std::string port = UnusedPort();
  RunningProgram run({(program / "tarnwickd").string()},
                     ChildEnvironment(home.string(), {"TARNWICK_SERVICE_HOST=127.0.0.1:" + port}));
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.WaitForOutput(
      [](const std::string& out) { return Has(out, "Login failed: trying again"); }, 20s))
      << run.ReadOutput(0);

  // The service comes up on the same port 20 s later, well before the first retry is due (30 s).
  std::this_thread::sleep_for(20s);
  RunningProgram service(
      StandInCommand(kAccount, kPassword, serviceLog, {"--port", port, "--credits", "50"}),
      ChildEnvironment(home.string()));
  ASSERT_EQ(WaitForReadyPort(service), port);

  // The next sample raises an alert: it finds no login and tries one at once.
  const FinishedProgram set = Set({"num_High=2"});
  ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
  const bool sent =
      run.WaitForOutput([](const std::string& out) { return Has(out, "Send SMS message ["); }, 20s);
  const std::string out = run.ReadOutput(0);
  ASSERT_TRUE(sent) << out << "\n" << ReadFile(serviceLog);
  EXPECT_TRUE(Has(out, "Settings reloaded")) << out;
  EXPECT_TRUE(Has(out, "Not logged in: logging in again before the alert goes out")) << out;
  EXPECT_TRUE(Has(out, "Logged in again after 1 failed login")) << out;
  EXPECT_TRUE(Has(out, "Logged in: sending the alert held while not logged in")) << out;
  EXPECT_EQ(Occurrences(out, "Login failed: trying again"), 1u) << "one line per state: " << out;
  // The request is on its way when the line is written.
  std::string log;
  for (int i = 0; i < 100 && !Has(log, "/textpost/php/smstoolsen.php"); ++i) {
    std::this_thread::sleep_for(100ms);
    log = ReadFile(serviceLog);
  }
  EXPECT_EQ(Occurrences(log, "/textpost/php/sms_logon.php"), 1u) << log;
  EXPECT_EQ(Occurrences(log, "/textpost/php/smstoolsen.php"), 1u) << log;
  EXPECT_TRUE(Has(log, "OUTAGE CPU")) << log;
}

TEST_F(TarnwickdLeftAlone, NewSettingsComeIntoForceAndABrokenFileChangesNothing) {
  Settings s = AlertingSettings("RELOAD", kAccount, kPassword, "1000");
  s.cpu_High = "100";
  s.mem_High = "100";
  s.Enable_alert = 0;
  WriteSettings(s);
  RunningProgram burner({TARNWICK_HOG, "burn"}, ChildEnvironment(home.string()));
  ASSERT_TRUE(burner.started());
  RunningProgram run({(program / "tarnwickd").string()}, ChildEnvironment(home.string()));
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(run.WaitForOutput(
      [](const std::string& out) { return Has(out, "Monitoring Started"); }, 20s));

  const std::string refusal =
      "Settings not reloaded, the running values stay: cpu_High: CPU warning threshold must be a "
      "whole number from 1 to 100";
  const auto breakFile = [&] {
    std::string text = ReadFile((program / "setting.ini").string());
    const size_t first = text.find("\r\n");
    const size_t second = text.find("\r\n", first + 2);
    text.replace(first + 2, second - first - 2, "9o");
    WriteFile((program / "setting.ini").string(), text);
  };
  const struct {
    const char* step;
    std::function<void()> act;
    std::string line;
    size_t seen;  // times the line is in the output afterwards
  } steps[] = {
      {"--set", [&] { EXPECT_EQ(Set({"cpu_High=95"}).exitCode, 0); }, "Settings reloaded", 1},
      {"a file broken by hand", breakFile, refusal, 1},
      {"SIGHUP on the broken file", [&] { kill(run.pid(), SIGHUP); }, refusal, 2},
      {"--set mends it", [&] { EXPECT_EQ(Set({"cpu_High=20"}).exitCode, 0); }, "Settings reloaded",
       2},
      {"SIGHUP", [&] { kill(run.pid(), SIGHUP); }, "Settings reloaded", 3},
  };
  for (const auto& step : steps) {
    step.act();
    EXPECT_TRUE(run.WaitForOutput(
        [&](const std::string& out) { return Occurrences(out, step.line) >= step.seen; }, 10s))
        << step.step << "\n"
        << run.ReadOutput(0);
  }
  // The threshold in force is the last good one.
  EXPECT_TRUE(run.WaitForOutput(
      [](const std::string& out) { return Has(out, "% exceed 20% for 1 times"); }, 10s))
      << run.ReadOutput(0);
  EXPECT_EQ(kill(run.pid(), 0), 0) << "SIGHUP does not end the program";
}

}  // namespace
}  // namespace tarnwick::testing
