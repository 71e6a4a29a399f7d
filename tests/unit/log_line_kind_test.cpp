// Which log lines reach the system's event log: a table of the messages of each kind, and the
// lines the real watches, the termination, the program monitor and the dispatcher write in one
// run, each alert, termination and failure once.
#include "eventlog/log_line_kind.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "process/process_fixture.h"
#include "support/environment.h"

namespace tarnwick {
namespace {

using Kind = std::optional<EventLogKind>;
constexpr Kind kNone = std::nullopt;
constexpr Kind kAlert = EventLogKind::Alert;
constexpr Kind kKill = EventLogKind::Kill;
constexpr Kind kFailure = EventLogKind::Failure;

class RecordingEventLog final : public IEventLog {
 public:
  std::vector<std::pair<EventLogKind, std::string>> entries;
  void Report(EventLogKind kind, const std::string& line) override {
    entries.emplace_back(kind, line);
  }
};

TEST(LogLineKindsTest, MessagesOfEachKind) {
  const struct {
    const char* message;
    Kind kind;
  } cases[] = {
      // Alerts of the watches, sent, not sent, repeated; and what is no alert.
      {"12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times).TOP1 : firefox 40% "
       "@10:15:07 *firefox(3)",
       kAlert},
      {"Not login alert message [12-04 10:15:17 WEB01 MEMORY 91% exceed 85% for 10 sec.(3 "
       "times).TOP1 : java 8000M(80%) @10:15:07 *java(3)] can not be sent out, please login..",
       kAlert},
      {"12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times).TOP1 : firefox 40% "
       "@10:15:07 *firefox(3) (Not first time,log only)",
       kAlert},
      {"CPU 93% exceed 75% for 2 times. TOP 1 : firefox (40%)", kNone},
      {"(Program Monitor) - notepad CPU 80% exceed 60% for 2 times", kNone},
      {"CPU 20% back to normal", kNone},
      {"2026-12-04 10:15:22 WEB01 CPU 20% back to normal.CPU threshold setting is 75% for 3 "
       "consecutive times",
       kNone},
      // Terminations, reported by the alert or by the program monitor's own line.
      {"12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times). *firefox killed(True). "
       "TOP1 : firefox 40% @10:15:07 *firefox(3)",
       kKill},
      {"12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times). *firefox killed(False). "
       "TOP1 : firefox 40% @10:15:07 *firefox(3)(Fail to kill process again. No alert send out. "
       "log only)",
       kFailure},
      {"(Program killed) - notepad is killed successfully on monitoring notepad CPU usage higher "
       "than 60%",
       kKill},
      {"(Program killed failure) - notepad is killed UNSUCCESSFULLY on monitoring notepad MEMORY "
       "usage higher than 50%",
       kFailure},
      {"firefox(pid : 200 create time : 20261204101500) is the TOP 1 to be killed ...", kNone},
      {"firefox is TOP 1 but no kill. Reason - Session Name (Owner) is Services.", kNone},
      // Failures of files, deliveries and the service.
      {"Cannot write the log file c:\\monitor_log\\Tarnwick_log_1204.txt: Disk full; lines go "
       "to the window only until it can be written again",
       kFailure},
      {"Cannot read settings file /etc/tarnwick/setting.ini: Permission denied; its features "
       "stay off",
       kFailure},
      {"Settings file /etc/tarnwick/setting.ini is longer than 64 KiB; only its first 64 KiB "
       "are read",
       kFailure},
      {"Usage history is off: database is locked", kFailure},
      {"Mail to ops@x.example via SMTP server smtp.x.example failed: 535 Authentication failed",
       kFailure},
      {"Mail to ops@x.example not sent: the mailer cannot be started: C:\\Tarnwick\\mailcmdssl.exe",
       kFailure},
      {"Mailing out log to ops@x.example via SMTP server smtp.x.example", kNone},
      {"Credits is not enough to send SMS and Mail alerts !!", kFailure},
      {"No enough credits to send alert message", kFailure},
      {"Tarnwick: Connecting Error or Timeout !! Please check your network or try again", kFailure},
      // Everyday lines.
      {"Monitoring Started", kNone},
      {"Monitoring Stopped", kNone},
      {"Settings folder: C:\\ProgramData\\Tarnwick", kNone},
      {"Account status: Account : ops@x.example", kNone},
      {"Send SMS message [2026-12-04 10:15:22 WEB01 CPU 20% back to normal.CPU threshold "
       "setting is 75% for 3 consecutive times]",
       kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogLineKinds().Of(c.message), c.kind) << c.message;
    const std::string line = std::string("2026-12-04 10:15:17 - ") + c.message;
    EXPECT_EQ(LogLineKinds().Of(line), c.kind) << line;
  }
}

TEST(LogLineKindsTest, TheDeliveryOfAnAlertWithALineOfItsOwnAddsNothing) {
  const std::string alert =
      "12-04 10:15:17 WEB01 CPU 93% exceed 75% for 10 sec.(3 times).TOP1 : firefox 40% "
      "@10:15:07 *firefox(3)";
  const struct {
    const char* name;
    std::string delivered;
    Kind kind;
  } cases[] = {
      {"as it is", alert, kNone},
      {"cut to the SMS's length", alert.substr(0, 60), kNone},
      {"with the day's count", alert + " Today SMS:5/5", kNone},
      {"another alert, the program monitor's",
       "2026-12-04 10:15:27 WEB01 - notepad CPU 80% exceed 60% for 10 sec.(3 times)", kAlert},
  };
  for (const auto& c : cases) {
    LogLineKinds kinds;
    ASSERT_EQ(kinds.Of(alert), kAlert);
    EXPECT_EQ(kinds.Of("Send SMS message [" + c.delivered + "]"), c.kind) << c.name;
  }
  EXPECT_EQ(LogLineKinds().Of("Send SMS message [" + alert + "]"), kAlert)
      << "without its own line the delivery is the alert";
}

// The model on fakes with the termination, the program monitor and the real dispatcher.
class EventLogLinesTest : public testing::ProcessFixture {
 protected:
  RecordingEventLog eventLog;
  EventLogFeed feed{eventLog};
  std::vector<std::string> lines;

  void SetUp() override {
    ProcessFixture::SetUp();
    testing::UnsetEnv("TARNWICK_SERVICE_HOST");
    processes.Add(300, "notepad", 4, 6000 * testing::kMiB);
    // Watch notepad: an alert on the first sample over 50% of the memory, and its termination.
    WriteProgramSettings({"1", "notepad", "60", "50", "1", "1", "0", ""});
    MainWindowDeps deps{clock, ui, system, cpu, memory, processes, sound, files};
    deps.processKiller = &killer;
    deps.urlTransport = &transport;
    deps.mailerLauncher = &launcher;
    model = std::make_unique<MainWindowModel>(deps);
    model->log().SetEcho([this](const std::string& line) {
      lines.push_back(line);
      feed.Write(line);
    });
    model->OnLoad();
    Settings& s = model->settings;
    s.cpu_High = "75";
    s.mem_High = "85";
    s.num_High = "3";
    s.num_Kill = "1";
    s.KillProc = 1;
    s.Killopt = false;
    s.Enable_alert = 1;
    s.smsEmail = "ops@x.example";
    s.smsPassword = "pw";
    s.smsPhone = "+15550100";
    s.max_SMS = "9999";
    model->session.loggedIn = true;
    model->session.apiId = "id";
    model->Label7.caption = "250";
  }

  void Cycle(int cpuPercent) {
    cpu.busy.push_back(cpuPercent);
    memory.available = 5000 * testing::kMiB;
    model->Monitor();
    clock.Advance(5);
  }

  std::string AllLines() const {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
  }
};

TEST_F(EventLogLinesTest, EachAlertTerminationAndFailureOnceAmongEveryLineOfARun) {
  // The CPU watch's alert terminates the top process (and the SMS carries the alert).
  for (int i = 0; i < 3; ++i) Cycle(93);
  // The program monitor's alert terminates notepad; its SMS is its only alert line.
  control().MonitorProgram();
  // The next run's termination fails.
  killer.result = false;
  Cycle(20);
  for (int i = 0; i < 3; ++i) Cycle(93);
  // Without credits nothing can be sent.
  Cycle(20);
  model->Label7.caption = "0";
  for (int i = 0; i < 3; ++i) Cycle(93);

  const struct {
    EventLogKind kind;
    const char* part;
  } expected[] = {
      {EventLogKind::Kill, " CPU 93% exceed 75% for 10 sec.(3 times). *firefox killed(True)."},
      {EventLogKind::Kill, " - (Program killed) - notepad is killed successfully"},
      {EventLogKind::Alert, " - Send SMS message [2026-12-04 10:15:22 WEB01 - notepad MEMORY "},
      {EventLogKind::Failure, " CPU 93% exceed 75% for 10 sec.(3 times). *firefox killed(False)."},
      {EventLogKind::Failure, " CPU 93% exceed 75% for 10 sec.(3 times). *firefox killed(False)."},
      {EventLogKind::Failure, " - Credits is not enough to send SMS and Mail alerts !!"},
  };
  std::string reported;
  for (const auto& e : eventLog.entries) reported += e.second + "\n";
  ASSERT_EQ(eventLog.entries.size(), std::size(expected)) << reported << "---\n" << AllLines();
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(eventLog.entries[i].first, expected[i].kind) << eventLog.entries[i].second;
    EXPECT_NE(eventLog.entries[i].second.find(expected[i].part), std::string::npos)
        << eventLog.entries[i].second;
  }
}

}  // namespace
}  // namespace tarnwick
