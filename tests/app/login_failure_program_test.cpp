// The real programs, the desktop one on Qt's offscreen platform and tarnwickd, side by side
// against the local stand-in of the web service: a login that fails (a garbage reply, silence
// until the deadline, a refused connection, a certificate nobody trusts) switches monitoring on
// and the cycle runs within a few seconds of the failure, also while the desktop program's
// message box about it stays open; over https with a CA trusted through SSL_CERT_FILE both log in
// and their alerts arrive.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "program_runner.h"
#include "settings/settings_store.h"
#include "standin_service.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kOpenssl = "/usr/bin/openssl";
constexpr const char* kAccount = "ops@x.example";
constexpr const char* kPassword = "secret";

const std::regex kExceedLine(R"(CPU \d+% exceed 0% for \d+ times)");

// The read's deadline in both programs, and the longest a failed login may keep the cycle
// waiting (a cycle is due 1 s after monitoring starts; the bound leaves room for a busy machine).
constexpr auto kReadDeadline = 30s;
constexpr auto kCycleAfterFailure = 5s;

// What the stand-in does with the login, and what the programs trust.
enum class Service { Garbage, Silent, Refusing, HttpsUntrusted, HttpsTrusted };

struct Case {
  const char* name;
  Service service;
  bool loggedIn;    // the login succeeds and the alert reaches the service
  bool atDeadline;  // the failure comes when the read's deadline has passed
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

// One program under test: its folder with the settings, its home with the daily log, and the
// times at which the test saw monitoring start after the login and the first cycle after that.
struct Subject {
  std::string name;  // "tarnwick" or "tarnwickd"
  std::string host;  // the host name in its alerts
  fs::path program;
  fs::path home;
  std::optional<RunningProgram> run;
  std::optional<SteadyClock::duration> started;  // "Monitoring Started", since the start
  std::optional<SteadyClock::duration> cycled;   // the first exceed line after it

  std::string Log() const { return ReadFile((home / "monitor_log" / TodaysLogName()).string()); }
};

class LoginFailureProgramTest : public ::testing::TestWithParam<Case> {
 protected:
  TempDir dir;

  // A self-signed certificate for 127.0.0.1: `name`.pem and `name`.key in the test's folder.
  bool MakeCertificate(const std::string& name) {
    const FinishedProgram made = RunToEnd(
        {kOpenssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
         "-days", "2", "-keyout", dir / (name + ".key"), "-out", dir / (name + ".pem")},
        ChildEnvironment(dir.path().string()), 60s);
    return made.exitCode == 0;
  }

  // The stand-in with `args`; its port, empty when it did not come up.
  std::string StartService(std::optional<RunningProgram>& service,
                           const std::vector<std::string>& args) {
    service.emplace(StandInCommand(kAccount, kPassword, dir / "service.jsonl", args),
                    ChildEnvironment(dir.path().string()));
    return WaitForReadyPort(*service);
  }

  // A program folder with settings that exceed on every 1 s sample and alert on the second.
  void Prepare(Subject& s, const std::string& name, const std::string& host) {
    s.name = name;
    s.host = host;
    s.program = dir.path() / name;
    s.home = dir.path() / (name + "-home");
    MakeProgramFolder(s.program);
    fs::create_directories(s.home);
    Settings settings = AlertingSettings(host, kAccount, kPassword);
    settings.Enable_log = 1;
    WriteFile((s.program / "setting.ini").string(), FormatSettingFile(settings));
  }
};

TEST_P(LoginFailureProgramTest, MonitoringRunsWithinSecondsOfTheLoginsEnd) {
  const Case& c = GetParam();
  ASSERT_TRUE(MakeCertificate("service") && MakeCertificate("stranger"));

  std::optional<RunningProgram> service;
  std::string serviceHost;
  std::string trusted = dir / "service.pem";
  switch (c.service) {
    case Service::Garbage:
      serviceHost = "127.0.0.1:" + StartService(service, {"--mode", "garbage"});
      break;
    case Service::Silent:
      serviceHost = "127.0.0.1:" + StartService(service, {"--mode", "slow", "--delay", "120"});
      break;
    case Service::Refusing:
      serviceHost = "127.0.0.1:" + StartService(service, {});
      ASSERT_TRUE(service->Stop(SIGTERM, 5s).has_value()) << "the port stays closed";
      break;
    case Service::HttpsUntrusted:
      trusted = dir / "stranger.pem";
      [[fallthrough]];
    case Service::HttpsTrusted:
      serviceHost =
          "https://127.0.0.1:" + StartService(service, {"--tls-cert", dir / "service.pem",
                                                        "--tls-key", dir / "service.key"});
      break;
  }
  ASSERT_FALSE(serviceHost.ends_with(":")) << "the stand-in did not start";

  Subject subjects[2];
  Prepare(subjects[0], "tarnwick", "DESKTOPHOST");
  Prepare(subjects[1], "tarnwickd", "DAEMONHOST");
  const auto start = SteadyClock::now();
  for (Subject& s : subjects) {
    const std::vector<std::string> env = ChildEnvironment(
        s.home.string(), {"TARNWICK_SERVICE_HOST=" + serviceHost, "SSL_CERT_FILE=" + trusted,
                          "QT_QPA_PLATFORM=offscreen"});
    s.run.emplace(std::vector<std::string>{(s.program / s.name).string()}, env);
    ASSERT_TRUE(s.run->started()) << s.name;
  }

  // Until both have started their cycle, or the cycle of one is overdue.
  const auto limit = kReadDeadline + 15s;
  bool waiting = true;
  while (waiting && SteadyClock::now() - start < limit) {
    waiting = false;
    for (Subject& s : subjects) {
      s.run->ReadOutput(50);
      const std::string log = s.Log();
      const size_t at = log.find("Monitoring Started");
      const auto now = SteadyClock::now() - start;
      if (at != std::string::npos && !s.started) s.started = now;
      std::smatch exceed;
      const std::string after = at == std::string::npos ? "" : log.substr(at);
      if (s.started && !s.cycled && std::regex_search(after, exceed, kExceedLine)) s.cycled = now;
      if (!s.cycled && !(s.started && now - *s.started > kCycleAfterFailure + 5s)) waiting = true;
    }
  }

  for (Subject& s : subjects) {
    SCOPED_TRACE(s.name);
    const std::string log = s.Log();
    ASSERT_TRUE(s.started.has_value()) << "monitoring never started:\n" << log;
    if (c.atDeadline) {
      EXPECT_GE(*s.started, kReadDeadline - 1s) << "the login ended before its deadline";
    } else {
      EXPECT_LT(*s.started, kReadDeadline - 5s) << "the login ended only at its deadline";
    }
    ASSERT_TRUE(s.cycled.has_value()) << "no cycle after monitoring started:\n" << log;
    EXPECT_LT(*s.cycled - *s.started, kCycleAfterFailure)
        << std::chrono::duration_cast<std::chrono::milliseconds>(*s.cycled - *s.started).count()
        << " ms from monitoring on to the first cycle";
  }
  EXPECT_TRUE(Has(subjects[1].run->ReadOutput(0),
                  c.loggedIn ? "Account status: Account : ops@x.example"
                             : "Account status: Not Login.Please login for alert sending !!"))
      << subjects[1].run->ReadOutput(0);

  const std::string requests = ReadFile(dir / "service.jsonl");
  if (c.service == Service::HttpsUntrusted) {
    EXPECT_EQ(requests, "") << "nothing, the password least of all, went to an untrusted server";
  }
  if (c.loggedIn) {
    for (Subject& s : subjects) {
      const bool alerted = s.run->WaitForOutput(
          [&](const std::string&) {
            return Has(ReadFile(dir / "service.jsonl"), "smstoolsen.php") &&
                   Has(ReadFile(dir / "service.jsonl"), s.host + " CPU ");
          },
          20s);
      EXPECT_TRUE(alerted) << s.name << ": no alert reached the service\n"
                           << ReadFile(dir / "service.jsonl");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    LoginEnds, LoginFailureProgramTest,
    ::testing::Values(Case{"GarbageReply", Service::Garbage, false, false},
                      Case{"SilenceUntilTheDeadline", Service::Silent, false, true},
                      Case{"RefusedConnection", Service::Refusing, false, false},
                      Case{"UntrustedCertificate", Service::HttpsUntrusted, false, false},
                      Case{"HttpsWithTheTrustedCertificate", Service::HttpsTrusted, true, false}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace tarnwick::testing
