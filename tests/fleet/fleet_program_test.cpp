// tarnwickd in a fleet, end to end: its metrics checked by promtool, scraped by a real Prometheus
// that sees a CPU hog's alert and its top process, the shipped rules' alerts routed by a real
// Alertmanager to a webhook, and the settings set and shown from the command line and read by the
// desktop program's dialogs. Prometheus and Alertmanager run on loopback ports with data folders
// of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "engine/process_control.h"
#include "fleet/fleet_support.h"
#include "forms/main_window_model.h"
#include "forms/smtp_server_model.h"
#include "platform/posix/posix_file_system.h"
#include "settings/program_settings.h"
#include "settings/settings_store.h"
#include "support/desk.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kHogName = "fleet-hog";

// The port of the "Metrics served on http://127.0.0.1:PORT/metrics" line, 0 until it is there.
int ServedPort(const std::string& out) {
  static const std::regex line(R"(Metrics served on http://127\.0\.0\.1:(\d+)/metrics)");
  std::smatch match;
  return std::regex_search(out, match, line) ? std::stoi(match[1]) : 0;
}

class FleetTest : public ::testing::Test {
 protected:
  TempDir dir;
  fs::path program = dir.path() / "program";
  fs::path home = dir.path() / "home";

  void SetUp() override {
    MakeProgramFolder(program);
    fs::create_directories(home);
  }

  std::vector<std::string> Environment() { return ChildEnvironment(home.string()); }

  // A 1-second cycle with every sample over the CPU threshold: an alert after two samples.
  void WriteSettings() {
    Settings s;
    s.TimeInterval = "1";
    s.cpu_High = "0";
    s.mem_High = "101";
    s.num_High = "2";
    s.host_Name = "FLEET01";
    s.max_SMS = "9999";
    s.soundFrom = "8";
    s.soundTo = "19";
    s.smsFrom = "8";
    s.smsTo = "19";
    WriteFile((program / "setting.ini").string(), FormatSettingFile(s));
  }

  // A process that keeps one processor busy, raised above everything else where the test may.
  bool StartHog(std::optional<RunningProgram>& burner) {
    const fs::path hog = dir.path() / kHogName;
    fs::copy_file(TARNWICK_HOG, hog);
    burner.emplace(std::vector<std::string>{hog.string(), "burn"}, Environment());
    if (!burner->WaitForOutput([](const std::string& out) { return Has(out, "ready"); }, 10s)) {
      return false;
    }
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(burner->pid()), -20);
    return true;
  }

  // `argv` serving its metrics on a port of its choosing ("--metrics-listen 0" follows); the port,
  // 0 when it did not say within `limit`.
  int StartServing(std::optional<RunningProgram>& run, std::vector<std::string> argv,
                   std::chrono::milliseconds limit) {
    argv.insert(argv.end(), {"--metrics-listen", "0"});
    run.emplace(argv, Environment());
    int port = 0;
    run->WaitForOutput(
        [&](const std::string& out) {
          port = ServedPort(out);
          return port != 0;
        },
        limit);
    return port;
  }

  // tarnwickd serving its metrics; its port, 0 when it did not say.
  int StartTarnwickd(std::optional<RunningProgram>& run) {
    return StartServing(run, {(program / "tarnwickd").string()}, 20s);
  }

  // Waits until the server answers its readiness URL.
  static bool Ready(int port) {
    return PollGet(
               port, "/-/ready", {}, [](const HttpReply& r) { return r.status == 200; }, 60s)
               .status == 200;
  }

  // The result of an instant query, as the query API returns it.
  static HttpReply Query(int port, const std::string& query,
                         const std::function<bool(const std::string&)>& done) {
    return PollGet(
        port, "/api/v1/query", {{"query", query}},
        [&](const HttpReply& r) { return r.status == 200 && done(r.body); }, 60s);
  }

  // Prometheus scraping `target` every second, with the rules (if any) evaluated every second and
  // their alerts sent to `alertmanager` (port, if any).
  int StartPrometheus(std::optional<RunningProgram>& prometheus, int target,
                      const std::string& rules = {}, int alertmanager = 0) {
    const fs::path folder = dir.path() / "prometheus";
    fs::create_directories(folder / "data");
    std::string config =
        "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
        "scrape_configs:\n  - job_name: tarnwick\n    static_configs:\n"
        "      - targets: ['127.0.0.1:" +
        std::to_string(target) + "']\n";
    if (!rules.empty()) {
      WriteFile((folder / "rules.yml").string(), rules);
      config += "rule_files: ['" + (folder / "rules.yml").string() + "']\n";
    }
    if (alertmanager != 0) {
      config +=
          "alerting:\n  alertmanagers:\n    - static_configs:\n        - targets: ['127.0.0.1:" +
          std::to_string(alertmanager) + "']\n";
    }
    WriteFile((folder / "prometheus.yml").string(), config);
    const int port = FreeLoopbackPort();
    prometheus.emplace(
        std::vector<std::string>{"/usr/bin/prometheus",
                                 "--config.file=" + (folder / "prometheus.yml").string(),
                                 "--storage.tsdb.path=" + (folder / "data").string(),
                                 "--web.listen-address=127.0.0.1:" + std::to_string(port)},
        Environment());
    return prometheus->started() && Ready(port) ? port : 0;
  }

  // Alertmanager with a route of one second's waits to the webhook, or with `config`.
  int StartAlertmanager(std::optional<RunningProgram>& alertmanager, int webhook,
                        const std::string& config = {}) {
    const fs::path folder = dir.path() / "alertmanager";
    fs::create_directories(folder / "data");
    WriteFile((folder / "alertmanager.yml").string(),
              !config.empty() ? config
                              : "route:\n  receiver: hook\n  group_by: [alertname, instance]\n"
                                "  group_wait: 1s\n  group_interval: 1s\n  repeat_interval: 1h\n"
                                "receivers:\n  - name: hook\n    webhook_configs:\n"
                                "      - url: http://127.0.0.1:" +
                                    std::to_string(webhook) + "/hook\n");
    const int port = FreeLoopbackPort();
    alertmanager.emplace(
        std::vector<std::string>{"/usr/bin/prometheus-alertmanager",
                                 "--config.file=" + (folder / "alertmanager.yml").string(),
                                 "--storage.path=" + (folder / "data").string(),
                                 "--web.listen-address=127.0.0.1:" + std::to_string(port),
                                 "--cluster.listen-address="},
        Environment());
    return alertmanager->started() && Ready(port) ? port : 0;
  }
};

TEST_F(FleetTest, TheMetricsPassPromtoolAndTheAddressIsTheProgramsAlone) {
  WriteSettings();
  std::optional<RunningProgram> hog;
  ASSERT_TRUE(StartHog(hog));
  std::optional<RunningProgram> run;
  const int port = StartTarnwickd(run);
  ASSERT_NE(port, 0) << run->ReadOutput(0);

  const HttpReply alerted = PollGet(
      port, "/metrics", {},
      [](const HttpReply& r) {
        return Has(r.body, "tarnwick_watch_alert_active{watch=\"cpu\"} 1");
      },
      30s);
  ASSERT_EQ(alerted.status, 200) << run->ReadOutput(0);
  EXPECT_TRUE(Has(alerted.body, "tarnwick_top_process_info{watch=\"cpu\",name=\"")) << alerted.body;
  EXPECT_TRUE(Has(alerted.body, "tarnwick_build_info{program=\"tarnwickd\",version=\"4.3\"} 1"));
  EXPECT_TRUE(Has(alerted.body, "\nprocess_resident_memory_bytes "));
  EXPECT_TRUE(Has(alerted.body, "\nprocess_start_time_seconds "));
  const FinishedProgram check =
      RunWithInput({"/usr/bin/promtool", "check", "metrics"}, Environment(), alerted.body);
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_EQ(check.out + check.err, "") << "promtool names no problem";

  // A second program on the same port ends at once, saying why; a wrong address is a usage error.
  const FinishedProgram taken = RunToEnd(
      {(program / "tarnwickd").string(), "--metrics-listen", std::to_string(port)}, Environment());
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_EQ(taken.err, "tarnwickd: Cannot serve metrics on 127.0.0.1:" + std::to_string(port) +
                           ": Address already in use\n");
  const FinishedProgram wrong =
      RunToEnd({(program / "tarnwickd").string(), "--metrics-listen", ":9101"}, Environment());
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err.rfind("tarnwickd: --metrics-listen ':9101' is not PORT", 0), 0u) << wrong.err;

  const auto stopped = run->Stop(SIGTERM, 5s);
  ASSERT_TRUE(stopped.has_value());
  EXPECT_TRUE(WIFEXITED(*stopped) && WEXITSTATUS(*stopped) == 0);
  EXPECT_EQ(HttpGet(port, "/metrics").status, 0) << "the port is closed with the program";
}

TEST_F(FleetTest, PrometheusAndAlertmanagerSeeTheHogsAlertAndTheMachineGoingDown) {
  WriteSettings();
  std::optional<RunningProgram> hog;
  ASSERT_TRUE(StartHog(hog));
  std::optional<RunningProgram> run;
  const int target = StartTarnwickd(run);
  ASSERT_NE(target, 0) << run->ReadOutput(0);

  WebhookReceiver webhook;
  ASSERT_NE(webhook.port(), 0);
  std::optional<RunningProgram> alertmanager;
  const int alertmanagerPort = StartAlertmanager(alertmanager, webhook.port());
  ASSERT_NE(alertmanagerPort, 0) << "Alertmanager did not come up";
  // The shipped rules, with their waits cut to a second.
  const std::string rules =
      std::regex_replace(ReadFile(TARNWICK_RULES_FILE), std::regex(R"(for: \d+[smh])"), "for: 1s");
  std::optional<RunningProgram> prometheus;
  const int prometheusPort = StartPrometheus(prometheus, target, rules, alertmanagerPort);
  ASSERT_NE(prometheusPort, 0) << "Prometheus did not come up";

  const HttpReply active = Query(prometheusPort, "tarnwick_watch_alert_active{watch=\"cpu\"}",
                                 [](const std::string& body) { return Has(body, ",\"1\"]"); });
  EXPECT_TRUE(Has(active.body, "\"instance\":\"127.0.0.1:" + std::to_string(target) + "\""))
      << active.body;
  EXPECT_TRUE(Has(active.body, ",\"1\"]")) << active.body;
  // The top process changes with every sample; the hog, busiest of all, is soon on top.
  const HttpReply top = Query(prometheusPort, "tarnwick_top_process_info{watch=\"cpu\"}",
                              [](const std::string& body) {
                                return Has(body, std::string("\"name\":\"") + kHogName + "\"");
                              });
  EXPECT_TRUE(Has(top.body, std::string("\"name\":\"") + kHogName + "\"")) << top.body;

  const std::string instance = "\"instance\":\"127.0.0.1:" + std::to_string(target) + "\"";
  const auto watchAlert =
      webhook.WaitFor({"\"alertname\":\"TarnwickWatchAlert\"", "\"status\":\"firing\"",
                       "\"watch\":\"cpu\"", instance, "over its threshold of 0%"},
                      60s);
  EXPECT_TRUE(watchAlert) << webhook.All();

  // The machine stops reporting.
  ASSERT_TRUE(run->Stop(SIGTERM, 5s).has_value());
  const auto down = webhook.WaitFor({"\"alertname\":\"TarnwickDown\"", "\"status\":\"firing\"",
                                     instance, "Tarnwick does not report"},
                                    60s);
  EXPECT_TRUE(down) << webhook.All();
}

// One alert as a webhook body carries it: its status, its labels (as JSON) and when it began.
struct ReceivedAlert {
  std::string status;
  std::string labels;
  std::string startsAt;
};

std::vector<ReceivedAlert> ReceivedAlerts(const std::string& bodies) {
  static const std::regex alert(
      R"re(\{"status":"(firing|resolved)","labels":(\{[^}]*\}),"annotations":\{[^}]*\},"startsAt":"([^"]+)")re");
  std::vector<ReceivedAlert> alerts;
  for (auto it = std::sregex_iterator(bodies.begin(), bodies.end(), alert);
       it != std::sregex_iterator(); ++it) {
    alerts.push_back({(*it)[1], (*it)[2], (*it)[3]});
  }
  return alerts;
}

// The shipped route and timings with the receivers swapped for the webhook (the shipped file
// keeps its receivers last for this).
std::string ShippedAlertmanagerConfig(int webhook) {
  std::string config = ReadFile(TARNWICK_ALERTMANAGER_FILE);
  const size_t receivers = config.find("\nreceivers:");
  if (receivers == std::string::npos) return {};
  config.erase(receivers + 1);
  const std::string hook =
      "    webhook_configs:\n      - url: http://127.0.0.1:" + std::to_string(webhook) + "/hook\n";
  return config + "receivers:\n  - name: ops-mail\n" + hook + "  - name: ops-pager\n" + hook;
}

// The shipped rules and route, unchanged, with tarnwickd's program monitor watching the hog: two
// incidents a minute apart each reach the receiver, and a watch that flaps (alerts that end for a
// few seconds and come back) reaches it as one incident. The hog is paused and resumed to make
// the load, so the machine's other work does not matter.
TEST_F(FleetTest, EveryIncidentReachesTheReceiverAndAFlappingWatchOnlyOnce) {
  Settings s;
  s.TimeInterval = "1";
  s.cpu_High = "101";
  s.mem_High = "101";
  s.num_High = "2";
  s.max_SMS = "9999";
  WriteFile((program / "setting.ini").string(), FormatSettingFile(s));
  ProgramSettings p;
  p.pgmMonitorF = 1;
  p.pgmNameF = kHogName;
  p.pgmCPUsetF = 20;
  p.pgmMEMsetF = 90;
  p.pgmAlertSetF = 2;
  WriteFile((program / std::string(kProgramSettingFileName)).string(), FormatProgramSettingFile(p));

  std::optional<RunningProgram> hog;
  ASSERT_TRUE(StartHog(hog));
  const auto pid = static_cast<pid_t>(hog->pid());
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  std::optional<RunningProgram> run;
  const int target = StartTarnwickd(run);
  ASSERT_NE(target, 0) << run->ReadOutput(0);

  WebhookReceiver webhook;
  ASSERT_NE(webhook.port(), 0);
  const std::string route = ShippedAlertmanagerConfig(webhook.port());
  ASSERT_FALSE(route.empty()) << "the shipped alertmanager.yml ends with its receivers";
  std::optional<RunningProgram> alertmanager;
  const int alertmanagerPort = StartAlertmanager(alertmanager, webhook.port(), route);
  ASSERT_NE(alertmanagerPort, 0) << "Alertmanager did not come up";
  std::optional<RunningProgram> prometheus;
  const int prometheusPort =
      StartPrometheus(prometheus, target, ReadFile(TARNWICK_RULES_FILE), alertmanagerPort);
  ASSERT_NE(prometheusPort, 0) << "Prometheus did not come up";

  const auto load = [&](std::chrono::seconds on, std::chrono::seconds off) {
    kill(pid, SIGCONT);
    std::this_thread::sleep_for(on);
    kill(pid, SIGSTOP);
    std::this_thread::sleep_for(off);
  };
  const auto incidents = [&](const std::string& status) {
    std::map<std::string, int> count;  // by startsAt
    for (const ReceivedAlert& a : ReceivedAlerts(webhook.All())) {
      if (a.status == status && Has(a.labels, "\"alertname\":\"TarnwickWatchAlert\"") &&
          Has(a.labels, "\"watch\":\"program_cpu\"")) {
        ++count[a.startsAt];
      }
    }
    return count;
  };
  const auto resolvedCount = [&](size_t wanted, std::chrono::seconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    while (incidents("resolved").size() < wanted && SteadyClock::now() < deadline) {
      std::this_thread::sleep_for(500ms);
    }
    return incidents("resolved").size();
  };

  // Two incidents, started a minute apart: the second begins half a minute after the first
  // resolved in Prometheus, while Alertmanager may still hold the first's group.
  load(8s, 52s);
  load(8s, 0s);
  EXPECT_EQ(resolvedCount(2, 60s), 2u) << webhook.All();
  // The flapping one: three alerts, each ending for 5 s.
  for (int i = 0; i < 3; ++i) load(5s, 5s);
  EXPECT_EQ(resolvedCount(3, 90s), 3u) << webhook.All();

  const std::map<std::string, int> fired = incidents("firing");
  EXPECT_EQ(fired.size(), 3u) << webhook.All();
  for (const auto& [startsAt, notifications] : fired) {
    EXPECT_EQ(notifications, 1) << "the incident of " << startsAt << " was sent once";
  }
  // tarnwickd itself raised an alert for each time the flapping watch came back.
  const HttpReply metrics = HttpGet(target, "/metrics");
  static const std::regex raised(R"(tarnwick_alerts_raised_total\{watch="program_cpu"\} (\d+))");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(metrics.body, match, raised)) << metrics.body;
  EXPECT_GE(std::stoi(match[1]), 5) << metrics.body;
}

// The desktop program's window over the same settings folder, as it starts.
struct DesktopWindow {
  FakeClock clock;
  RecordingUi ui;
  FakeSystemInfo system;
  FakeCpuCounters cpu;
  FakeMemory memory;
  FakeProcessLister processes{clock};
  RecordingSound sound;
  PosixFileSystem files;
  struct NoKiller final : IProcessKiller {
    bool KillProcess(int, uint64_t) override { return false; }
  } killer;
  std::unique_ptr<testing::Desk> desk;
  MainWindowModel* window = nullptr;

  DesktopWindow(const std::string& programFolder, const std::string& settingsFolder) {
    system.programFolder = programFolder;
    system.settingsFolder = settingsFolder;
    system.logFolder = settingsFolder;
    system.suffix = "";
    testing::DeskDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    desk = std::make_unique<testing::Desk>(deps);
    window = &desk->form;
    window->OnLoad();
  }
};

TEST_F(FleetTest, SettingsSetFromTheCommandLineAreTheDialogsAndBack) {
  const std::string folder = (dir.path() / "etc").string();
  const std::string tarnwickd = (program / "tarnwickd").string();
  const auto command = [&](std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), {tarnwickd, "--settings-dir", folder});
    return RunWithInput(args, Environment(), input);
  };

  // Two passwords through one pipe, a line each; nothing about them on the command line.
  const FinishedProgram set =
      command({"--set", "cpu_High=90", "Enable_alert=1", "smsEmail=ops@x.example",
               "smsPhone=+15550100", "Enable_SMTP=1", "mailSvr=smtp.x.example", "SMTPport=465",
               "MailUser=me@x.example", "mailFrom=me@x.example", "pgmMonitorF=1", "pgmNameF=nginx",
               "--set-password", "smsPassword", "--set-password", "MailPass"},
              "service pw\nmail pw\n");
  ASSERT_EQ(set.exitCode, 0) << set.err;
  EXPECT_EQ(set.err, "") << "no prompt on a pipe";
  for (const char* file : {"setting.ini", "smtpsvr.ini", "pgmsetting.ini"}) {
    struct stat info {};
    ASSERT_EQ(stat((fs::path(folder) / file).c_str(), &info), 0) << file;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << file;
    EXPECT_FALSE(Has(ReadFile((fs::path(folder) / file).string()), " pw")) << file;
  }

  const FinishedProgram refused = command({"--set", "TimeInterval=", "mem_High="});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err,
            "TimeInterval: Timeinterval value for monitoring can not be empty\n"
            "mem_High: Memory warning threshold can not be empty\n");

  const FinishedProgram shown = command({"--show-settings"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  for (const char* line :
       {"\ncpu_High=90\n", "\nsmsPassword=(set)\n", "\nMailPass=(set)\n",
        "\nmailSvr=smtp.x.example\n", "\npgmNameF=nginx\n", "\nTimeInterval=5\n"}) {
    EXPECT_TRUE(Has(shown.out, line)) << line << shown.out;
  }
  EXPECT_FALSE(Has(shown.out, "service pw"));

  // The desktop program opens its dialogs on the values set, passwords included.
  {
    DesktopWindow desktop(program.string(), folder);
    MainWindowModel& window = *desktop.window;
    window.OnSetupClick();
    AlertSettingModel& alert = window.alertSetting();
    EXPECT_EQ(alert.cpu_High, "90");
    EXPECT_TRUE(alert.Check2);
    EXPECT_EQ(alert.smsPassword, "service pw");
    window.OnSMTPsetupClick();
    EXPECT_EQ(window.smtpServer().MailPass, "mail pw");
    EXPECT_EQ(window.smtpServer().SMTPport, "465");
    window.OnMPGMSetupClick();
    EXPECT_EQ(window.pgmSETUP()->pgmNameF.text, "nginx");

    // Changed and saved there, the change is what the command line shows next.
    alert.mem_High = "70";
    ASSERT_TRUE(alert.OnSaveClick()) << desktop.ui.messages.size();
  }
  const FinishedProgram after = command({"--show-settings"});
  ASSERT_EQ(after.exitCode, 0);
  EXPECT_EQ(after.out,
            std::regex_replace(shown.out, std::regex("\nmem_High=85\n"), "\nmem_High=70\n"));
}

#ifdef TARNWICK_EXECUTABLE
// The desktop program serves the same metrics when asked; a wrong address stops it before any
// window opens.
TEST_F(FleetTest, TheDesktopProgramServesTheSameMetrics) {
  const int port = FreeLoopbackPort();
  const std::vector<std::string> environment =
      ChildEnvironment(home.string(), {"QT_QPA_PLATFORM=offscreen"});
  RunningProgram desktop(
      {(program / "tarnwick").string(), "--metrics-listen", "127.0.0.1:" + std::to_string(port)},
      environment);
  ASSERT_TRUE(desktop.started());
  const HttpReply reply = PollGet(
      port, "/metrics", {},
      [](const HttpReply& r) { return Has(r.body, "\ntarnwick_cpu_usage_ratio "); }, 30s);
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(Has(reply.body, "tarnwick_build_info{program=\"tarnwick\",version=\"4.3\"} 1"))
      << reply.body;
  EXPECT_TRUE(Has(reply.body, "\ntarnwick_monitoring 1\n")) << reply.body;
  const FinishedProgram wrong =
      RunToEnd({(program / "tarnwick").string(), "--metrics-listen", "localhost:1"}, environment);
  EXPECT_EQ(wrong.exitCode, 2);
  EXPECT_EQ(wrong.err.rfind("tarnwick: --metrics-listen needs PORT", 0), 0u) << wrong.err;
}
#endif

// tarnwickd.exe of the Windows build under Wine serves its metrics to the Linux loopback and is
// configured from its command line. Runs when TARNWICK_WINDOWS_BIN names the Windows program
// folder (tools/test-windows.sh sets it) and WINEPREFIX a prepared prefix (tools/wine-env.sh).
TEST_F(FleetTest, WindowsBuildUnderWineServesMetricsAndTakesItsSettings) {
  const char* windowsBin = std::getenv("TARNWICK_WINDOWS_BIN");
  if (windowsBin == nullptr || !fs::exists(fs::path(windowsBin) / "tarnwickd.exe")) {
    GTEST_SKIP() << "TARNWICK_WINDOWS_BIN does not name a folder with tarnwickd.exe";
  }
  const fs::path winProgram = dir.path() / "winprogram";
  CopyWindowsProgramFolder(windowsBin, winProgram);
  const std::string exe = (winProgram / "tarnwickd.exe").string();
  // Wine's drive Z: is the Linux root.
  std::string folder = "Z:" + (dir.path() / "winetc").string();
  std::replace(folder.begin(), folder.end(), '/', '\\');

  const FinishedProgram set =
      RunWithInput({"/usr/bin/wine", exe, "--settings-dir", folder, "--set", "TimeInterval=1",
                    "mem_High=100", "cpu_High=1", "num_High=2", "--set-password", "smsPassword"},
                   Environment(), "wine pw\n", 60s);
  ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
  // A threshold of 0 alerts on every sample: --set refuses it, but a file that holds it still
  // loads as it always did.
  const std::string settingFile = (dir.path() / "winetc" / "setting.ini").string();
  Settings stored;
  ParseSettingFile(ReadFile(settingFile), stored);
  stored.cpu_High = "0";
  WriteFile(settingFile, FormatSettingFile(stored));
  const FinishedProgram shown = RunWithInput(
      {"/usr/bin/wine", exe, "--settings-dir", folder, "--show-settings"}, Environment(), "", 60s);
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_TRUE(Has(shown.out, "\ncpu_High=0\r\n") || Has(shown.out, "\ncpu_High=0\n")) << shown.out;
  EXPECT_TRUE(Has(shown.out, "smsPassword=(set)")) << shown.out;

  std::optional<RunningProgram> run;
  const int port = StartServing(run, {"/usr/bin/wine", exe, "--settings-dir", folder}, 60s);
  ASSERT_NE(port, 0) << run->ReadOutput(0);
  const HttpReply reply = PollGet(
      port, "/metrics", {},
      [](const HttpReply& r) {
        return Has(r.body, "tarnwick_watch_alert_active{watch=\"cpu\"} 1");
      },
      60s);
  ASSERT_EQ(reply.status, 200);
  EXPECT_TRUE(Has(reply.body, "tarnwick_build_info{program=\"tarnwickd\",version=\"4.3\"} 1"));
  EXPECT_TRUE(Has(reply.body, "\nprocess_cpu_seconds_total ")) << reply.body;
  const FinishedProgram check =
      RunWithInput({"/usr/bin/promtool", "check", "metrics"}, Environment(), reply.body);
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

}  // namespace
}  // namespace tarnwick::testing
