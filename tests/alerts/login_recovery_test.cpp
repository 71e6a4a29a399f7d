// A login that failed is tried again in the background on a growing schedule, quietly, and an
// alert that finds no login waits for one; which failures are tried again depends on whether
// someone is there to press Login.
#include "engine/login_recovery.h"

#include <gtest/gtest.h>

#include "engine/alert_delivery.h"
#include "support/environment.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kAccepted = "Welcome*250*1-AB12cd% enjoy";
constexpr const char* kRefused = "-ERR Invalid Account";

TEST(LoginRetryDelay, DoublesFromHalfAMinuteToAQuarterOfAnHourAndStretchesByATenthAtMost) {
  const struct {
    int failures;
    double unit;
    long long ms;
  } cases[] = {
      {1, 0.0, 30'000},  {2, 0.0, 60'000},  {3, 0.0, 120'000},  {4, 0.0, 240'000},
      {5, 0.0, 480'000}, {6, 0.0, 900'000}, {7, 0.0, 900'000},  {1000, 0.0, 900'000},
      {1, 0.5, 31'500},  {6, 0.5, 945'000}, {1, 0.999, 32'997}, {6, 1.5, 990'000},
      {0, 0.0, 30'000},  {2, -1.0, 60'000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoginRetryDelayMs(c.failures, c.unit), c.ms) << c.failures << " " << c.unit;
  }
}

class LoginRecoveryTest : public testing::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    testing::UnsetEnv("TARNWICK_SERVICE_HOST");
  }

  // Starts the program with an account stored in setting.ini; its first login is under way.
  void Start(LoginRetry mode) {
    // Reads of an engine before are never answered: their readers are gone.
    transport.pending.clear();
    transport.urls.clear();
    Rebuild([&](DeskDeps& deps) {
      deps.urlTransport = &transport;
      deps.mailerLauncher = &launcher;
      deps.loginRetry = mode;
      deps.random = [] { return 0.0; };
    });
    Settings s;
    s.TimeInterval = "5";
    s.cpu_High = "75";
    s.mem_High = "85";
    s.num_High = "3";
    s.host_Name = "WEB01";
    s.Enable_log = 1;
    s.Enable_alert = 1;
    s.max_SMS = "99";
    s.smsPhone = "+15550100";
    s.smsEmail = "ops@x.example";
    s.smsPassword = "pw";
    WriteSettings(s);
    seen = 0;  // the log of a new engine
    model->OnLoad();
    Messages();
  }

  // Lets `seconds` of monitoring pass, one cycle timer tick a second; returns the login requests
  // that went out meanwhile.
  int Wait(int seconds) {
    int logins = 0;
    for (int i = 0; i < seconds; ++i) {
      clock.Advance(1);
      cpu.busy.push_back(10);  // a quiet machine: no line of the watches
      const size_t before = transport.pending.size();
      engine->OnCycleTimer();
      for (size_t p = before; p < transport.pending.size(); ++p) {
        if (transport.pending[p].url.find("sms_logon.php") != std::string::npos) ++logins;
      }
    }
    return logins;
  }

  // Answers the login under way (other requests stay pending).
  void AnswerLogin(bool ok, const std::string& body) {
    for (size_t i = 0; i < transport.pending.size(); ++i) {
      if (transport.pending[i].url.find("sms_logon.php") == std::string::npos) continue;
      std::rotate(transport.pending.begin(), transport.pending.begin() + static_cast<long>(i),
                  transport.pending.begin() + static_cast<long>(i) + 1);
      transport.CompleteNext(ok, body);
      return;
    }
    FAIL() << "no login under way";
  }
};

TEST_F(LoginRecoveryTest, AnUnreachableServiceIsTriedAgainOnScheduleWithOneLineEachWay) {
  Start(LoginRetry::AfterAnyFailure);
  AnswerLogin(false, "");
  EXPECT_EQ(Messages(), (Lines{"Monitoring Started", std::string(kLoginRetryingLine)}));
  ASSERT_EQ(ui.messages.size(), 1u) << "the first failure is told as always";

  // Each wait from the failure before: 30 s, 60 s, 120 s; a wait one second short sends nothing.
  for (const int wait : {30, 60, 120}) {
    EXPECT_EQ(Wait(wait - 1), 0) << wait;
    EXPECT_EQ(Wait(1), 1) << wait;
    AnswerLogin(false, "");
  }
  EXPECT_TRUE(Messages().empty()) << "no line per try";
  EXPECT_EQ(ui.messages.size(), 1u) << "no box per try";
  EXPECT_TRUE(engine->MonitoringOn());

  EXPECT_EQ(Wait(240), 1);
  AnswerLogin(true, kAccepted);
  EXPECT_EQ(Messages(), Lines{"Logged in again after 4 failed logins"})
      << "monitoring goes on: no second \"Monitoring Started\"";
  EXPECT_TRUE(engine->session.loggedIn);
  EXPECT_EQ(model->Label4.caption, "Account : ops@x.example");
  EXPECT_EQ(model->Label7.caption, "250");
  EXPECT_EQ(Wait(1000), 0) << "logged in: nothing more is tried";
}

TEST_F(LoginRecoveryTest, WhichFailuresAreTriedAgainDependsOnWhoCanPressLogin) {
  const struct {
    LoginRetry mode;
    bool ok;
    const char* reply;
    bool retried;
  } cases[] = {
      {LoginRetry::AfterAnyFailure, false, "", true},
      {LoginRetry::AfterAnyFailure, true, kRefused, true},
      {LoginRetry::AfterConnectionFailure, false, "", true},
      {LoginRetry::AfterConnectionFailure, true, "ok*250 cut short", true},
      {LoginRetry::AfterConnectionFailure, true, kRefused, false},
      {LoginRetry::Off, false, "", false},
  };
  for (const auto& c : cases) {
    Start(c.mode);
    AnswerLogin(c.ok, c.reply);
    EXPECT_EQ(Wait(31), c.retried ? 1 : 0) << static_cast<int>(c.mode) << " " << c.reply;
  }
}

TEST_F(LoginRecoveryTest, TheUsersLoginTakesOverFromTheSchedule) {
  Start(LoginRetry::AfterConnectionFailure);
  AnswerLogin(false, "");
  Wait(10);
  model->OnLoginClick();
  AnswerLogin(true, kAccepted);
  EXPECT_TRUE(engine->session.loggedIn);
  EXPECT_EQ(Wait(1000), 0);
}

TEST_F(LoginRecoveryTest, AnAlertThatFindsNoLoginWaitsForOneTriedAtOnce) {
  const struct {
    LoginRetry mode;
    bool loginOk;
    Lines afterAnswer;
    bool smsSent;
  } cases[] = {
      {LoginRetry::AfterAnyFailure,
       true,
       {"Logged in again after 1 failed login",
        "Logged in: sending the alert held while not logged in"},
       true},
      {LoginRetry::AfterAnyFailure,
       false,
       {"The login failed: the alert held while not logged in is not sent"},
       false},
  };
  for (const auto& c : cases) {
    Start(c.mode);
    AnswerLogin(false, "");
    Messages();
    Wait(5);  // well before the first retry is due
    Outgoing out;
    out.message = "CPU 97% exceed";
    out.notLoggedInStart = "Not Login [";
    EXPECT_EQ(DispatchAlert(*engine, out), DispatchOutcome::NotLoggedIn);
    EXPECT_EQ(Messages(), (Lines{"Not Login [CPU 97% exceed] can not be sent out, please login..",
                                 std::string(kHeldAlertLine)}));
    ASSERT_EQ(transport.pending.size(), 1u) << "a login started at once";
    AnswerLogin(c.loginOk, c.loginOk ? kAccepted : "");
    Wait(1);
    Lines lines = Messages();
    if (c.smsSent) {
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(lines[2], "Send SMS message [CPU 97% exceed]");
      lines.pop_back();
    }
    EXPECT_EQ(lines, c.afterAnswer);
    EXPECT_EQ(engine->settings.smsSentToday, c.smsSent ? 1 : 0);
  }
}

TEST_F(LoginRecoveryTest, WithALoginMenuAnAlertDoesNotRetryARefusedPassword) {
  Start(LoginRetry::AfterConnectionFailure);
  AnswerLogin(true, kRefused);
  Messages();
  Outgoing out;
  out.message = "CPU 97% exceed";
  EXPECT_EQ(DispatchAlert(*engine, out), DispatchOutcome::NotLoggedIn);
  EXPECT_EQ(Messages(), Lines{"CPU 97% exceed] can not be sent out, please login.."});
  EXPECT_TRUE(transport.pending.empty());
}

}  // namespace
}  // namespace tarnwick
