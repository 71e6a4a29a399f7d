// SendAlert: the hour window, the credits, the daily cap and the two channels, with their lines.
#include <gtest/gtest.h>

#include "delivery/mailer_text.h"
#include "engine/alert_delivery.h"
#include "support/environment.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

class DispatcherTest : public testing::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    testing::UnsetEnv("TARNWICK_SERVICE_HOST");
    UseDelivery();
    model->OnLoad();
    Settings& s = engine->settings;
    s.smsEmail = "ops@x.example";
    s.smsPassword = "pw";
    s.max_SMS = "9999";
    s.Mail_List = "";
    engine->session.apiId = "id";
    engine->session.credits = "250";
    transport.urls.clear();
    transport.pending.clear();
    Messages();
  }

  // Sends one alert and returns the lines it wrote.
  Lines Send(std::string message = "CPU 97% exceed") {
    engine->delivery()->dispatcher.SendAlert("+15550100", message);
    last = message;
    return Messages();
  }
  std::string last;
};

TEST_F(DispatcherTest, HourWindowIncludesBothEndsAndNeverWraps) {
  engine->settings.schAlert = 1;
  engine->settings.smsFrom = "08";
  engine->settings.smsTo = "19";
  const struct {
    int h, m;
    bool sent;
    const char* line;
  } cases[] = {
      {19, 59, true, "Send SMS message [CPU 97% exceed]"},
      {20, 0, false,
       "Current hour is 20. That is not in the defined alert sending time window 08-19"},
      {7, 59, false,
       "Current hour is 7. That is not in the defined alert sending time window 08-19"},
      {8, 0, true, "Send SMS message [CPU 97% exceed]"},
  };
  for (const auto& c : cases) {
    clock.Set(c.h, c.m, 0);
    transport.urls.clear();
    EXPECT_EQ(Send(), Lines{c.line}) << c.h << ":" << c.m;
    EXPECT_EQ(transport.urls.size(), c.sent ? 1u : 0u);
  }
  engine->settings.schAlert = 0;
  clock.Set(23, 0, 0);
  EXPECT_EQ(Send(), Lines{"Send SMS message [CPU 97% exceed]"}) << "no window: hour ignored";
}

TEST_F(DispatcherTest, NoCreditsSendsNothingAndCountsNothing) {
  for (const char* credits : {"0", "", " -3 ", "none"}) {
    engine->session.credits = credits;
    EXPECT_EQ(Send(), Lines{"Credits is not enough to send SMS and Mail alerts !!"}) << credits;
  }
  EXPECT_TRUE(transport.urls.empty());
  EXPECT_EQ(engine->settings.smsSentToday, 0);
}

TEST_F(DispatcherTest, TheCapsLastSmsCarriesTheDaysCountThenMailTakesOver) {
  engine->settings.max_SMS = "5";
  engine->settings.smsSentToday = 4;
  engine->settings.Mail_List = "ops@x.example";
  EXPECT_EQ(Send(), Lines{"Send SMS message [CPU 97% exceed Today SMS:5/5]"});
  EXPECT_EQ(last, "CPU 97% exceed Today SMS:5/5") << "the caller sees the changed message";
  EXPECT_EQ(engine->settings.smsSentToday, 5);
  EXPECT_EQ(engine->delivery()->AsyncRead1.PropName(), "sendsms1");

  EXPECT_EQ(Send(),
            (Lines{"No SMS send ..up to the limit 5 a day", "Mail Alert Send to ops@x.example"}));
  ASSERT_EQ(transport.urls.size(), 2u);
  EXPECT_EQ(transport.urls[1],
            "http://textpost.example/textpost/php/mail_alert.php?email=ops%40x.example&pwd=pw"
            "&email_list=ops%40x.example&text=CPU%2097%25%20exceed");
  EXPECT_EQ(engine->delivery()->AsyncRead3.PropName(), "sendsms2");
  EXPECT_EQ(engine->settings.smsSentToday, 5);
}

TEST_F(DispatcherTest, AnEmptyCapSendsMailOnlyAndABlankListNothing) {
  engine->settings.max_SMS = "";
  EXPECT_EQ(Send(), Lines{"No SMS send ..up to the limit  a day"});
  EXPECT_TRUE(transport.urls.empty());
  engine->settings.Mail_List = "a@b.c";
  EXPECT_EQ(Send(), (Lines{"No SMS send ..up to the limit  a day", "Mail Alert Send to a@b.c"}))
      << "on the mail-only path any list that is not blank is used";
}

TEST_F(DispatcherTest, SmsCarriesTheFirst160CharactersAndOnlyAQualifyingMailList) {
  engine->settings.Mail_List = "a@b.c";  // five characters: does not ride with an SMS
  engine->settings.Enable_SMTP = 1;
  const std::string longText(170, 'x');
  EXPECT_EQ(Send(longText), Lines{"Send SMS message [" + std::string(160, 'x') + "]"});
  EXPECT_EQ(last.size(), 160u);
  ASSERT_EQ(transport.urls.size(), 1u);
  EXPECT_EQ(transport.urls[0],
            "http://textpost.example/textpost/php/smstoolsen.php?api_id=id&email=ops%40x.example"
            "&pwd=pw&to=%2B15550100&from=&unicode=0&text=" +
                std::string(160, 'x'));
  EXPECT_TRUE(launcher.started.empty()) << "no SMTP copy without a qualifying list";
}

TEST_F(DispatcherTest, TheCutNeverSplitsACharacter) {
  const std::string accented = std::string(159, 'x') + "\xC3\xA9" + "yy";
  Send(accented);
  EXPECT_EQ(last, std::string(159, 'x') + "\xC3\xA9");
}

TEST_F(DispatcherTest, SmsWithSecondServerMailsTheSameTextFirst) {
  Settings& s = engine->settings;
  s.Mail_List = "ops@x.example,boss@x.example";
  s.Enable_SMTP = 1;
  s.mailSvr = "smtp.x.example";
  s.SMTPport = "587";
  s.MailUser = "mailer@x.example";
  s.MailPass = "secret";
  s.mailFrom = "mailer@x.example";
  EXPECT_EQ(Send("a#evil.example#25 CPU"),
            (Lines{"Send Mail Alert to ops@x.example,boss@x.example via SMTP server "
                   "smtp.x.example",
                   "Send SMS message [a#evil.example#25 CPU]"}));
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0].program, system.programFolder + "/mailcmdssl");
  const auto mail = ParseMailerText(launcher.started[0].input);
  ASSERT_TRUE(mail);
  EXPECT_EQ(mail->body, "a#evil.example#25 CPU");
  EXPECT_EQ(mail->subject, "a#evil.example#25 CPU");
  EXPECT_EQ(mail->server, "smtp.x.example") << "a # in the text moves no field";
  EXPECT_EQ(mail->port, "587");
  EXPECT_EQ(mail->recipients, "ops@x.example,boss@x.example");
  EXPECT_NE(transport.urls[0].find("&email_list=ops%40x.example%2Cboss%40x.example"),
            std::string::npos);

  // A copy the mailer fails to send is logged once the mailer has ended.
  launcher.Finish(0, false, "mailcmdssl: Login denied");
  EXPECT_EQ(Messages(), Lines{"Mail to ops@x.example,boss@x.example via SMTP server "
                              "smtp.x.example failed: mailcmdssl: Login denied"});

  // A mailer that cannot start is logged instead of the copy's line; the SMS goes out all the
  // same.
  launcher.startable = false;
  EXPECT_EQ(Send(), (Lines{"Mail to ops@x.example,boss@x.example not sent: the mailer cannot be "
                           "started: " +
                               system.programFolder + "/mailcmdssl",
                           "Send SMS message [CPU 97% exceed]"}));
}

TEST_F(DispatcherTest, MailOnlyWithSecondServerTurnsLineBreaksIntoBreakTags) {
  Settings& s = engine->settings;
  s.max_SMS = "0";
  s.Mail_List = "a@b.c";
  s.Enable_SMTP = 1;
  s.mailSvr = "smtp.x.example";
  EXPECT_EQ(Send("line one\r\nline two"),
            (Lines{"No SMS send ..up to the limit 0 a day",
                   "Mailing out log to a@b.c via SMTP server smtp.x.example",
                   "Mail Alert Send to a@b.c"}));
  EXPECT_EQ(last, "line one<br>line two");
  EXPECT_NE(transport.urls[0].find("&text=line%20one%0D%0Aline%20two"), std::string::npos)
      << "the request was built before the replacement";
}

TEST_F(DispatcherTest, ValuesReachTheServiceWhole) {
  Send("x&to=999#y %z");
  EXPECT_NE(transport.urls[0].find("&text=x%26to%3D999%23y%20%25z"), std::string::npos);
  EXPECT_EQ(transport.urls[0].find("&to=999"), std::string::npos);
}

TEST_F(DispatcherTest, RequestTagsWrapAfterThirtyThousand) {
  engine->session.requestSeq = 29999;
  Send();
  EXPECT_EQ(engine->delivery()->AsyncRead1.PropName(), "sendsms30000");
  Send();
  EXPECT_EQ(engine->delivery()->AsyncRead1.PropName(), "sendsms0");
}

TEST_F(DispatcherTest, WatchAlertsReachTheDispatcherOnlyWhileLoggedInWithAlertsOn) {
  engine->settings.cpu_High = "75";
  engine->settings.num_High = "1";
  engine->settings.Enable_alert = 1;
  engine->session.loggedIn = true;
  engine->settings.smsPhone = "+15550100";
  Cycle(93, 10);
  ASSERT_EQ(transport.urls.size(), 1u);
  EXPECT_NE(transport.urls[0].find("&to=%2B15550100"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
