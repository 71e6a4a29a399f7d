// The metrics on the real main window over fakes: what the exposition says after whole cycles of
// both watches and the program monitor (alerts sent and only logged, terminations by outcome, the
// top process of each watch), mail failures, secrets kept out; the text format's escaping and
// the listen addresses.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/listen_address.h"
#include "metrics/metrics_board.h"
#include "metrics/metrics_recorder.h"
#include "metrics/metrics_service.h"
#include "metrics/metrics_text.h"
#include "process/process_fixture.h"
#include "support/recording_listener.h"

namespace tarnwick {
namespace {

using testing::kMiB;

// The value of one series of the exposition ("name{labels}"), nullopt when it is not there.
std::optional<double> Value(const std::string& text, const std::string& series) {
  const std::string start = series + " ";
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    if (line.rfind(start, 0) == 0) return std::stod(line.substr(start.size()));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return std::nullopt;
}

size_t CountLines(const std::string& text, const std::string& prefix) {
  size_t count = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    if (text.compare(at, prefix.size(), prefix) == 0) ++count;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return count;
}

class MetricsTest : public testing::ProcessFixture {
 protected:
  MetricsBoard board;
  std::unique_ptr<MetricsRecorder> recorder;
  testing::RecordingListener decisions;

  void SetUp() override {
    ProcessFixture::SetUp();
    Start();
  }

  // A fresh window and recorder, loaded, logged in with alerts on and three samples to an alert.
  void Start() {
    // The real alert delivery, so that an alert that goes out makes a request; and a killer.
    Rebuild([this](DeskDeps& deps) {
      deps.urlTransport = &transport;
      deps.mailerLauncher = &launcher;
      deps.processKiller = &killer;
    });
    recorder = std::make_unique<MetricsRecorder>(board);
    engine->Listen(recorder.get());
    engine->Listen(&decisions);
    recorder->Attach(*engine);
    model->OnLoad();
    transport.pending.clear();
    engine->session.loggedIn = true;
    engine->session.credits = "25";
    Settings& s = engine->settings;
    s.Enable_alert = 1;
    s.smsEmail = "ops@x.example";
    s.smsPassword = "pw-never-shown";
    s.smsPhone = "+15550100";
    s.max_SMS = "9999";
    s.cpu_High = "75";
    s.mem_High = "85";
    s.num_High = "3";
  }

  void TearDown() override {
    engine->Unlisten(recorder.get());
    engine->Unlisten(&decisions);
  }

  // One timer tick that runs a cycle with the given CPU and memory percentages, then 5 s pass.
  void Cycle(int cpuPercent, int memPercent = 50) {
    cpu.busy.push_back(cpuPercent);
    memory.available = (10000 - memPercent * 100) * kMiB;
    engine->cycleCountdown = 1;
    model->OnTmrUpdateTick();
    clock.Advance(5);
  }

  std::string Scrape() {
    return FormatMetrics(board.Snapshot(), ProcessSelfFigures{}, {"tarnwickd", "4.3"});
  }

  double Counter(const std::string& name, const std::string& watch) {
    return Value(Scrape(), name + "{watch=\"" + watch + "\"}").value_or(-1);
  }
};

TEST_F(MetricsTest, AnAlertIsCountedSentOrOnlyLoggedAndShowsItsTopProcessWhileItLasts) {
  for (int i = 0; i < 2; ++i) Cycle(90);
  std::string text = Scrape();
  EXPECT_EQ(Value(text, "tarnwick_watch_consecutive_samples{watch=\"cpu\"}"), 2);
  EXPECT_EQ(Value(text, "tarnwick_watch_alert_active{watch=\"cpu\"}"), 0);
  // Before the alert the run's top is named with its share; its pid is no series yet.
  EXPECT_GT(
      Value(text, "tarnwick_top_process_share_ratio{watch=\"cpu\",name=\"firefox\"}").value_or(0),
      0)
      << text;
  EXPECT_EQ(CountLines(text, "tarnwick_top_process_info{"), 0u) << text;

  Cycle(90);  // the third sample: the alert goes out
  text = Scrape();
  EXPECT_EQ(Value(text, "tarnwick_watch_alert_active{watch=\"cpu\"}"), 1);
  EXPECT_EQ(Value(text, "tarnwick_alerts_raised_total{watch=\"cpu\"}"), 1);
  EXPECT_EQ(Value(text, "tarnwick_alerts_sent_total{watch=\"cpu\"}"), 1);
  EXPECT_EQ(Value(text, "tarnwick_alerts_suppressed_total{watch=\"cpu\"}"), 0);
  EXPECT_EQ(Value(text, "tarnwick_top_process_info{watch=\"cpu\",name=\"firefox\",pid=\"200\"}"), 1)
      << text;
  EXPECT_EQ(Value(text, "tarnwick_cpu_usage_ratio"), 0.9);
  EXPECT_EQ(Value(text, "tarnwick_watch_threshold_ratio{watch=\"cpu\"}"), 0.75);
  EXPECT_EQ(Value(text, "tarnwick_watch_alert_samples{watch=\"cpu\"}"), 3);
  EXPECT_EQ(Value(text, "tarnwick_cycles_total"), 3);
  EXPECT_EQ(Value(text, "tarnwick_memory_used_bytes"), 5000.0 * kMiB);

  // Another process takes the top: it replaces the first, one series per watch.
  processes.Add(300, "ffmpeg", 300, 10 * kMiB);
  for (int i = 0; i < 3; ++i) Cycle(90);  // a repeat: logged only
  text = Scrape();
  EXPECT_EQ(CountLines(text, "tarnwick_top_process_info{"), 1u) << text;
  EXPECT_EQ(CountLines(text, "tarnwick_top_process_share_ratio{"), 1u) << text;
  EXPECT_EQ(Value(text, "tarnwick_top_process_info{watch=\"cpu\",name=\"ffmpeg\",pid=\"300\"}"), 1);
  EXPECT_EQ(Counter("tarnwick_alerts_raised_total", "cpu"), 2);
  EXPECT_EQ(Counter("tarnwick_alerts_suppressed_total", "cpu"), 1);

  Cycle(10);  // back to normal
  text = Scrape();
  EXPECT_EQ(Value(text, "tarnwick_watch_alert_active{watch=\"cpu\"}"), 0);
  EXPECT_EQ(CountLines(text, "tarnwick_top_process_info{"), 0u) << text;
  EXPECT_EQ(CountLines(text, "tarnwick_top_process_share_ratio{"), 0u) << text;

  // Logged out, a new alert is only logged; so is one outside the sending hours, which the
  // dispatcher refuses.
  engine->session.loggedIn = false;
  for (int i = 0; i < 3; ++i) Cycle(90);
  Cycle(10);
  engine->session.loggedIn = true;
  engine->settings.schAlert = 1;
  engine->settings.smsFrom = "1";
  engine->settings.smsTo = "2";
  for (int i = 0; i < 3; ++i) Cycle(90);
  EXPECT_EQ(Counter("tarnwick_alerts_raised_total", "cpu"), 4);
  EXPECT_EQ(Counter("tarnwick_alerts_sent_total", "cpu"), 1);
  EXPECT_EQ(Counter("tarnwick_alerts_suppressed_total", "cpu"), 3);
  EXPECT_EQ(Counter("tarnwick_alerts_raised_total", "memory"), 0);
}

// The process the metrics name is the one the alert names: the tally's choice over the run's
// samples, not the top process of the latest sample.
TEST_F(MetricsTest, TheTopProcessIsTheAlertsTallysTop) {
  const struct {
    const char* name;
    std::vector<int> tops;  // the pid on top at each of the three samples of the run
    std::string topName;
    int topPid;
  } cases[] = {
      {"one process throughout", {200, 200, 200}, "firefox", 200},
      {"the latest sample's top is another", {200, 200, 300}, "firefox", 200},
      {"the latest sample's top is another, the first too", {300, 200, 200}, "firefox", 200},
      {"namesakes: the one most often on top", {201, 200, 201}, "firefox", 201},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    processes.procs.clear();
    processes.Add(100, "svchost", 1, 200 * kMiB);
    processes.Add(200, "firefox", 0, 100 * kMiB);
    processes.Add(201, "firefox", 0, 100 * kMiB);
    processes.Add(300, "ffmpeg", 0, 100 * kMiB);
    Start();
    decisions.alerts.clear();
    for (int top : c.tops) {
      for (auto& p : processes.procs) p.sharePct = p.info.pid == top ? 300 : 0;
      Cycle(90);
    }
    ASSERT_EQ(decisions.alerts.size(), 1u);
    const AlertResult& alert = decisions.alerts.back();
    EXPECT_EQ(alert.top.name, c.topName);
    EXPECT_EQ(alert.top.pid, c.topPid);
    EXPECT_NE(alert.message.find(" *" + c.topName + "("), std::string::npos) << alert.message;
    const std::string text = Scrape();
    EXPECT_EQ(CountLines(text, "tarnwick_top_process_info{"), 1u) << text;
    EXPECT_EQ(Value(text, "tarnwick_top_process_info{watch=\"cpu\",name=\"" + c.topName +
                              "\",pid=\"" + std::to_string(c.topPid) + "\"}"),
              1)
        << text;
    EXPECT_GT(alert.top.share, 0);
    EXPECT_EQ(
        Value(text, "tarnwick_top_process_share_ratio{watch=\"cpu\",name=\"" + c.topName + "\"}"),
        alert.top.share / 100)
        << text;
  }
}

TEST_F(MetricsTest, TerminationsAreCountedByOutcome) {
  const struct {
    const char* name;
    bool killopt;  // true: only listed names
    const char* list;
    bool terminated;  // what the killer reports
    double succeeded, failed, refused;
  } cases[] = {
      {"terminated", false, "", true, 1, 0, 0},
      {"outlived the termination", false, "", false, 0, 1, 0},
      {"not on the list", true, "sshd", true, 0, 0, 1},
      {"listed as spared", false, "firefox", true, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Start();
    engine->settings.KillProc = 1;
    engine->settings.num_Kill = "1";
    engine->settings.Killopt = c.killopt;
    engine->settings.PnameList = c.list;
    killer.result = c.terminated;
    for (int i = 0; i < 3; ++i) Cycle(90);
    const double succeeded = Counter("tarnwick_kills_succeeded_total", "cpu");
    const double attempted = Counter("tarnwick_kills_attempted_total", "cpu");
    EXPECT_EQ(succeeded, c.succeeded);
    EXPECT_EQ(attempted - succeeded, c.failed);
    EXPECT_EQ(Counter("tarnwick_kills_refused_total", "cpu"), c.refused);
  }
  // With the kill off nothing counts as refused.
  Start();
  for (int i = 0; i < 3; ++i) Cycle(90);
  EXPECT_EQ(Counter("tarnwick_kills_refused_total", "cpu"), 0);
  EXPECT_EQ(Counter("tarnwick_kills_attempted_total", "cpu"), 0);
}

TEST_F(MetricsTest, TheProgramMonitorsWatchesCountAsTheirOwn) {
  ProgramSettings& p = control().programSettings();
  p.pgmMonitorF = 1;
  p.pgmNameF = "firefox";
  p.pgmCPUsetF = 20;
  p.pgmMEMsetF = 90;
  p.pgmAlertSetF = 2;
  p.pgmKillF = 1;
  engine->settings.cpu_High = "101";
  for (int i = 0; i < 3; ++i) Cycle(50);
  const std::string text = Scrape();
  EXPECT_EQ(Value(text, "tarnwick_alerts_raised_total{watch=\"program_cpu\"}"), 1) << text;
  EXPECT_EQ(Value(text, "tarnwick_alerts_sent_total{watch=\"program_cpu\"}"), 1);
  EXPECT_EQ(Value(text, "tarnwick_kills_succeeded_total{watch=\"program_cpu\"}"), 1);
  EXPECT_EQ(Value(text, "tarnwick_watch_threshold_ratio{watch=\"program_cpu\"}"), 0.2);
  EXPECT_EQ(Value(text, "tarnwick_watch_threshold_ratio{watch=\"program_memory\"}"), 0.9);
  EXPECT_EQ(Value(text, "tarnwick_watch_alert_samples{watch=\"program_cpu\"}"), 2);
  EXPECT_EQ(Value(text, "tarnwick_alerts_raised_total{watch=\"cpu\"}"), 0);
  EXPECT_EQ(killer.calls.size(), 1u);
}

TEST_F(MetricsTest, NoSecretIsEverALabelOrValue) {
  Settings& s = engine->settings;
  s.smsEmail = "secret-account@x.example";
  s.smsPhone = "+4915112345678";
  s.Mail_List = "boss@x.example";
  s.Enable_SMTP = 1;
  s.mailSvr = "smtp.secret.example";
  s.MailUser = "mailuser@x.example";
  s.MailPass = "mail-password";
  s.mailTo1 = "notice@x.example";
  s.host_Name = "HOST-DESCRIPTION";
  for (int i = 0; i < 4; ++i) Cycle(90, 95);
  const std::string text = Scrape();
  for (const char* secret :
       {"secret-account", "4915112345678", "boss@", "smtp.secret", "mailuser", "mail-password",
        "pw-never-shown", "notice@", "HOST-DESCRIPTION", "@"}) {
    EXPECT_EQ(text.find(secret), std::string::npos) << secret;
  }
}

// Each send-SMS request counts, for alerts and back-to-normal notices alike, and midnight's reset
// of the day's count leaves the counter growing; alerts that went out as mail only do not count.
TEST_F(MetricsTest, SmsSentIsACounterThatMidnightDoesNotReset) {
  engine->settings.max_SMS = "3";
  engine->settings.Mail_List = "ops@x.example";
  const auto incident = [this] {
    for (int i = 0; i < 3; ++i) Cycle(90);
    Cycle(10);
  };
  incident();  // the alert and its back-to-normal notice: two SMS
  EXPECT_EQ(Value(Scrape(), "tarnwick_sms_sent_total"), 2);
  engine->ResetSmsCount();  // midnight
  engine->Announce([](IEngineListener& l) { l.OnDayReset(); });
  incident();
  EXPECT_EQ(Value(Scrape(), "tarnwick_sms_sent_total"), 4);
  incident();  // the alert is the day's third SMS; over the cap its notice goes as mail only
  const std::string text = Scrape();
  EXPECT_EQ(Value(text, "tarnwick_sms_sent_total"), 5) << text;
  EXPECT_EQ(Value(text, "tarnwick_alerts_sent_total{watch=\"cpu\"}"), 3);
  EXPECT_EQ(CountLines(text, "tarnwick_sms_sent_today"), 0u);
}

// The service gauge follows the engine's login steps; a login in progress keeps 0 until the
// answer, and a retry after an accepted login clears it until its own answer.
TEST_F(MetricsTest, LoggedInFollowsTheLoginSteps) {
  using Step = LoginResult::Step;
  const struct {
    const char* name;
    std::vector<Step> steps;
    double loggedIn;
  } cases[] = {
      {"accepted", {Step::Started, Step::Connecting, Step::Accepted}, 1},
      {"refused", {Step::Started, Step::Connecting, Step::Refused}, 0},
      {"unreadable answer", {Step::Started, Step::Connecting, Step::Unreadable}, 0},
      {"no account", {Step::Started, Step::NoAccount}, 0},
      {"a retry under way", {Step::Started, Step::Accepted, Step::Started, Step::Connecting}, 0},
      {"a retry accepted", {Step::Accepted, Step::Started, Step::Connecting, Step::Accepted}, 1},
      {"a retry that failed", {Step::Accepted, Step::Started, Step::Unreadable}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Start();
    for (Step step : c.steps) {
      engine->Announce([step](IEngineListener& l) { l.OnLogin({step, {}, "25", {}}); });
    }
    EXPECT_EQ(Value(Scrape(), "tarnwick_service_logged_in"), c.loggedIn);
  }
}

TEST_F(MetricsTest, MailsThatDidNotLeaveAreCounted) {
  testing::RecordingLauncher inner;
  MailFailureCounter counter(inner, [this] { recorder->MailFailed(); });
  std::vector<bool> heard;
  const auto start = [&] {
    return counter.Start("/opt/mailer", "text",
                         [&](const MailerExit& e) { heard.push_back(e.sent); });
  };
  ASSERT_TRUE(start());
  ASSERT_TRUE(start());
  inner.Finish(0, true);
  inner.Finish(1, false, "Login denied");
  inner.startable = false;
  EXPECT_FALSE(start());
  EXPECT_EQ(heard, (std::vector<bool>{true, false})) << "every exit still reaches the mailer";
  recorder->Publish();
  EXPECT_EQ(Value(Scrape(), "tarnwick_mail_failures_total"), 2);
}

TEST_F(MetricsTest, MonitoringSwitchedOffIsPublishedAtOnce) {
  Cycle(10);
  EXPECT_EQ(Value(Scrape(), "tarnwick_monitoring"), 1);
  model->OnCommand1Click();  // Stop
  EXPECT_EQ(Value(Scrape(), "tarnwick_monitoring"), 0);
}

TEST(MetricsText, LabelValuesAreEscapedAndValidUtf8) {
  const struct {
    std::string name;
    std::string label;
  } cases[] = {
      {"nginx", "nginx"},
      {R"(a"b)", R"(a\"b)"},
      {R"(C:\x)", R"(C:\\x)"},
      {"line\nbreak", "line?break"},
      {"esc\x1b[31m", "esc?[31m"},
      {std::string("bad\xff"), "bad?"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const auto& c : cases) EXPECT_EQ(LabelValue(c.name), c.label) << c.name;

  MetricsSnapshot snapshot;
  snapshot.watches[0].topName = "x\"}\nfake_metric 1";
  snapshot.watches[0].alertTopPid = 7;
  const std::string text = FormatMetrics(snapshot, {}, {"tarnwickd", "4.3"});
  EXPECT_NE(text.find("tarnwick_top_process_info{watch=\"cpu\",name=\"x\\\"}?fake_metric 1\","
                      "pid=\"7\"} 1\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(CountLines(text, "fake_metric"), 0u);
}

TEST(MetricsText, SampleValuesReadBackAsTheSameNumber) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1, "1"},
      {0.85, "0.85"},
      {25276084224.0, "25276084224"},
      {1e21, "1e+21"},
      {-0.5, "-0.5"},
      {std::numeric_limits<double>::infinity(), "+Inf"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(SampleValue(c.value), c.text);
}

TEST(MetricsText, AbsentFiguresLeaveTheirSeriesOut) {
  MetricsSnapshot snapshot;
  ProcessSelfFigures self;
  self.residentBytes = 1024;
  const std::string text = FormatMetrics(snapshot, self, {"tarnwick", "4.3"});
  EXPECT_NE(text.find("tarnwick_build_info{program=\"tarnwick\",version=\"4.3\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("process_resident_memory_bytes 1024\n"), std::string::npos);
  for (const char* absent :
       {"tarnwick_cpu_usage_ratio ", "process_open_fds ", "tarnwick_watch_threshold_ratio{",
        "tarnwick_cycle_duration_seconds "}) {
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
  }
}

// Where the endpoint listens, as the log says it: the address, and a warning only for an
// address that reaches beyond this machine.
TEST_F(MetricsTest, AnAddressBeyondThisMachineIsWarnedOfOnce) {
  struct ListeningEndpoint final : IMetricsEndpoint {
    MetricsEndpointStart Start(const ListenAddress& address,
                               std::function<std::string()>) override {
      return {true, {}, address.port == 0 ? 40000 : address.port};
    }
    void Stop() override {}
  } endpoint;
  struct NoFigures final : IProcessSelf {
    ProcessSelfFigures Read() override { return {}; }
  } self;
  const std::string warning =
      "Metrics are served beyond this machine on %: whoever can reach it may read them and hold "
      "a few of its connections (see docs/security.md, \"The metrics endpoint\")";
  const struct {
    const char* address;
    bool warned;
  } cases[] = {
      {"9101", false},
      {"127.0.0.1:9101", false},
      {"127.0.0.2:0", false},
      {"[::1]:9101", false},
      {"0.0.0.0:9101", true},
      {"[::]:9101", true},
      {"192.168.1.5:9101", true},
      {"10.0.0.1:0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    MetricsService service({"tarnwickd", "4.3"}, endpoint, self);
    const ListenAddress address = *ParseListenAddress(c.address);
    const MetricsService::Started started = service.Start(address, *engine);
    ListenAddress actual = address;
    actual.port = address.port == 0 ? 40000 : address.port;
    const std::string shown = ListenAddressText(actual);
    EXPECT_EQ(started.line, "Metrics served on http://" + shown + "/metrics");
    std::string expected;
    if (c.warned) expected = std::string(warning).replace(warning.find('%'), 1, shown);
    EXPECT_EQ(started.warning, expected);
  }
}

TEST(ListenAddress, APortAloneIsTheLoopbackAndEveryOtherAddressIsNamed) {
  const struct {
    const char* text;
    std::optional<std::string> shown;  // nullopt: refused
  } cases[] = {
      {"9101", "127.0.0.1:9101"},
      {"0", "127.0.0.1:0"},
      {"127.0.0.1:9101", "127.0.0.1:9101"},
      {"0.0.0.0:9101", "0.0.0.0:9101"},
      {"192.168.10.5:80", "192.168.10.5:80"},
      {"[::1]:9101", "[::1]:9101"},
      {"[::]:9101", "[::]:9101"},
      {":9101", std::nullopt},
      {"localhost:9101", std::nullopt},
      {"web01:9101", std::nullopt},
      {"65536", std::nullopt},
      {"-1", std::nullopt},
      {"256.1.1.1:80", std::nullopt},
      {"1.2.3:80", std::nullopt},
      {"1.2.3.4", std::nullopt},
      {"::1:9101", std::nullopt},
      {"[::1]", std::nullopt},
      {"[fe80::1%eth0]:80", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto address = ParseListenAddress(c.text);
    ASSERT_EQ(address.has_value(), c.shown.has_value()) << c.text;
    if (address) {
      EXPECT_EQ(ListenAddressText(*address), *c.shown);
    }
  }
}

}  // namespace
}  // namespace tarnwick
