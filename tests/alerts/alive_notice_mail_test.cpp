// The "I am alive" notice through the real mailer program to a real SMTP server.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/alert_delivery.h"
#include "mailer/mail_test_support.h"
#include "platform/posix/posix_mailer_launcher.h"
#include "support/fakes.h"
#include "unit/model_fixture.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::UiQueue;

class AliveNoticeMailTest : public testing::ModelFixture {
 protected:
  // Loads the window with the real mailer in the program folder; its exits come back through
  // uiThread.
  void LoadWithRealMailer() {
    std::filesystem::copy_file(TARNWICK_MAILER, system.programFolder + "/mailcmdssl");
    Rebuild([this](DeskDeps& deps) {
      deps.urlTransport = &transport;
      deps.mailerLauncher = &realLauncher;
    });
    model->OnLoad();
  }

  UiQueue uiThread;
  PosixMailerLauncher realLauncher{uiThread.Poster()};
};

TEST_F(AliveNoticeMailTest, NoticeArrivesWithItsSubjectRecipientAndHtmlLog) {
  mailtest::SmtpServer smtp(mailtest::TlsMode::kStartTls);
  ASSERT_TRUE(smtp.ready()) << smtp.log();
  LoadWithRealMailer();
  Settings& s = engine->settings;
  s.smsEmail = "ops@x.example";
  s.mailSvr = smtp.host();
  s.SMTPport = smtp.port();
  s.MailUser = s.mailFrom = mailtest::kSmtpUser;
  s.MailPass = mailtest::kSmtpPassword;
  s.mailTo1 = "admin@x.example";
  engine->lastUsageLine = "12-04 10:15:07 WEB01 CPU / MEMORY usage : 10% / 20%";
  engine->WriteLog("a line with # and % in it");

  engine->delivery()->notices.sch_Notify(true);
  const auto mail = smtp.WaitForMail(60s);
  ASSERT_TRUE(mail) << smtp.log();
  EXPECT_EQ(mail->rcpt, std::vector<std::string>{"admin@x.example"});
  EXPECT_EQ(mail->subject, "2026-12-04 10:15:07 Tarnwick program's log !! ");
  EXPECT_NE(mail->body.find("<br><br> Status Log : <br>12-04 10:15:07 WEB01 CPU / MEMORY usage : "
                            "10% / 20%<br><br>2026-12-04 10:15:07 - a line with # and % in it<br>"),
            std::string::npos)
      << mail->body;
  EXPECT_EQ(mail->body.find("\r\n"), std::string::npos) << "every line break went out as <br>";
  // The mailer's exit comes back and, as it sent the mail, adds nothing to the log.
  ASSERT_TRUE(uiThread.RunUntil([&] { return uiThread.ran == 1; }, 30s));
  EXPECT_EQ(Messages().back(), "Mailing out log to admin@x.example via SMTP server " + smtp.host());
}

TEST_F(AliveNoticeMailTest, AFailedNoticeIsLoggedWithTheMailersReason) {
  mailtest::SmtpServer smtp(mailtest::TlsMode::kStartTls);
  ASSERT_TRUE(smtp.ready()) << smtp.log();
  LoadWithRealMailer();
  Settings& s = engine->settings;
  s.mailSvr = smtp.host();
  s.SMTPport = smtp.port();
  s.MailUser = s.mailFrom = mailtest::kSmtpUser;
  s.MailPass = "not the password";
  s.mailTo1 = "admin@x.example";
  Messages();

  engine->delivery()->notices.sch_Notify(true);
  ASSERT_TRUE(uiThread.RunUntil([&] { return uiThread.ran == 1; }, 60s));

  const std::vector<std::string> lines = Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Mailing out log to admin@x.example via SMTP server " + smtp.host());
  const std::string failed = "Mail to admin@x.example via SMTP server " + smtp.host() +
                             " failed: mailcmdssl: Login denied";
  EXPECT_EQ(lines[1].substr(0, failed.size()), failed) << lines[1];
  EXPECT_TRUE(smtp.Mails().empty());
}

}  // namespace
}  // namespace tarnwick
