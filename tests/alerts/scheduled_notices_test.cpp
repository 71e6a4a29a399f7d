// The midnight duties and the "I am alive" notice, with the clock where each case needs it.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/text.h"
#include "delivery/html_text.h"
#include "delivery/mailer_text.h"
#include "engine/alert_delivery.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

class NoticesTest : public testing::ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    UseDelivery();
    model->OnLoad();
    Messages();
  }
};

TEST_F(NoticesTest, OnlyTheTickWithinMidnightResetsTheDaysCount) {
  const struct {
    int h, m, s;
    bool resets;
  } ticks[] = {{23, 59, 59, false}, {0, 0, 40, true}, {0, 1, 0, false}};
  for (const auto& t : ticks) {
    engine->settings.smsSentToday = 3;
    model->alertSetting().SMS_Today = "Sent Today : 3";
    clock.Set(t.h, t.m, t.s);
    model->OnTimer4Tick();
    EXPECT_EQ(engine->settings.smsSentToday, t.resets ? 0 : 3);
    EXPECT_EQ(model->alertSetting().SMS_Today, t.resets ? "SMS Sent Today : 0" : "Sent Today : 3");
  }
  EXPECT_EQ(engine->delivery()->notices.dayCount(), 1);
}

TEST_F(NoticesTest, TheFifthMidnightLogsInAgainOnlyWhenTheServiceAskedForIt) {
  for (const char* flag : {"1", "0"}) {
    engine->session.reloginFlag = flag;
    Messages();
    clock.Set(0, 0, 5);
    for (int night = 1; night <= 5; ++night) {
      model->OnTimer4Tick();
      EXPECT_EQ(engine->delivery()->notices.dayCount(), night % 5);
    }
    const auto lines = Messages();
    const bool loggedInAgain =
        std::find(lines.begin(), lines.end(),
                  "Email account or Password is empty. Please setup the account in File > Setup "
                  "to send alerts") != lines.end();
    EXPECT_EQ(loggedInAgain, std::string(flag) == "1") << flag;
  }
}

TEST_F(NoticesTest, TheNoticeComesEveryMinSelectMinutesWithTheLatestLog) {
  Settings& s = engine->settings;
  s.alive_Email = 1;
  s.min_Select = "3";
  s.mailTo1 = "admin@x.example";
  s.smsEmail = "ops@x.example";
  s.mailSvr = "smtp.x.example";
  engine->aliveCountdown = 3;
  engine->session.credits = "97";
  engine->lastUsageLine = "12-04 10:15:07 WEB01 CPU / MEMORY usage : 10% / 20%";
  model->OnTimer5Tick();
  model->OnTimer5Tick();
  EXPECT_TRUE(launcher.started.empty());
  const std::string pane = engine->log().PaneText();
  model->OnTimer5Tick();
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(engine->aliveCountdown, 3);
  const auto mail = ParseMailerText(launcher.started[0].input);
  ASSERT_TRUE(mail);
  EXPECT_EQ(mail->recipients, "admin@x.example");
  EXPECT_EQ(mail->subject, "2026-12-04 10:15:07 Tarnwick program's log !! ");
  EXPECT_EQ(mail->body,
            "<html><body> Good Day !! <br><br>Now is 2026-12-04 10:15:07<br><br> Tarnwick "
            "program is up and running<br><br>Account : ops@x.example SMS credits 97 "
            "left<br><br> Status Log : <br>12-04 10:15:07 WEB01 CPU / MEMORY usage : 10% / "
            "20%<br><br>" +
                ReplaceAll(HtmlEscape(pane), "\r\n", "<br>") +
                "<br><br><br>Textpost</body></html>");
  EXPECT_EQ(Messages().back(), "Mailing out log to admin@x.example via SMTP server smtp.x.example");
}

TEST_F(NoticesTest, NoRecipientSendsNothingAndTheNoticeOffOnlyCounts) {
  Settings& s = engine->settings;
  s.alive_Email = 1;
  s.min_Select = "1";
  s.mailTo1 = "  ";
  engine->aliveCountdown = 1;
  model->OnTimer5Tick();
  EXPECT_TRUE(launcher.started.empty());
  EXPECT_TRUE(Messages().empty());
  s.alive_Email = 0;
  s.mailTo1 = "admin@x.example";
  model->OnTimer5Tick();
  EXPECT_TRUE(launcher.started.empty());
  EXPECT_EQ(engine->aliveCountdown, 1);
}

TEST_F(NoticesTest, AMailerThatCannotStartIsLoggedAndNeverClaimsTheMail) {
  launcher.startable = false;
  engine->settings.mailTo1 = "admin@x.example";
  engine->settings.mailSvr = "smtp.x.example";
  engine->delivery()->notices.sch_Notify(true);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Mail to admin@x.example not sent: the mailer "
                                                 "cannot be started: " +
                                                 system.programFolder + "/mailcmdssl"});
}

}  // namespace
}  // namespace tarnwick
