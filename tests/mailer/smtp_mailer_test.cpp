// The monitor's side: what SmtpMailer hands the mailer, what it does to the caller's text, and
// the log line it owes the user whether or not the mailer starts.
#include "delivery/smtp_mailer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "delivery/mailer_text.h"

namespace tarnwick {
namespace {

class RecordingLauncher final : public IMailerLauncher {
 public:
  bool startable = true;
  std::vector<std::pair<std::string, std::string>> starts;  // program, standard input
  std::vector<MailerFinished> finished;                     // of the runs that started

  bool Start(const std::string& program, const std::string& standardInput,
             MailerFinished done) override {
    starts.emplace_back(program, standardInput);
    if (startable) finished.push_back(std::move(done));
    return startable;
  }
};

class RecordingClient final : public ISmtpClient {
 public:
  std::string answer;
  std::vector<SmtpMail> mails;

  std::string SendHtmlMail(const SmtpMail& mail) override {
    mails.push_back(mail);
    return answer;
  }
};

class SmtpMailerTest : public ::testing::Test {
 protected:
  SmtpMailerTest() {
    settings.mailSvr = "smtp.example.org";
    settings.SMTPport = "587";
    settings.mailFrom = "monitor@example.org";
    settings.MailUser = "monitor#1";
    settings.MailPass = "p%23ss#word";  // must reach the mailer as typed
  }

  MailerRequest HandedOver(size_t index = 0) {
    EXPECT_GT(launcher.starts.size(), index);
    std::optional<MailerRequest> request = ParseMailerText(launcher.starts.at(index).second);
    EXPECT_TRUE(request.has_value());
    return request.value_or(MailerRequest{});
  }

  Settings settings;
  RecordingLauncher launcher;
  std::vector<std::string> log;
  SmtpMailer mailer{settings, launcher, "/opt/tarnwick/mailcmdssl",
                    [this](const std::string& line) { log.push_back(line); }};
};

TEST_F(SmtpMailerTest, RunMailerHandsTheMailerTheNineFieldsInOrder) {
  EXPECT_TRUE(mailer.RunMailer("a@example.org,b@example.org", "CPU #1 at 100%", "<b>x</b>#25"));

  ASSERT_EQ(launcher.starts.size(), 1u);
  EXPECT_EQ(launcher.starts[0].first, "/opt/tarnwick/mailcmdssl");
  const MailerRequest r = HandedOver();
  EXPECT_EQ(r.token, kMailerToken);
  EXPECT_EQ(r.user, "monitor#1");
  EXPECT_EQ(r.password, "p%23ss#word");
  EXPECT_EQ(r.sender, "monitor@example.org");
  EXPECT_EQ(r.recipients, "a@example.org,b@example.org");
  EXPECT_EQ(r.subject, "CPU #1 at 100%");
  EXPECT_EQ(r.body, "<b>x</b>#25");
  EXPECT_EQ(r.server, "smtp.example.org");
  EXPECT_EQ(r.port, "587");

  launcher.startable = false;
  EXPECT_FALSE(mailer.RunMailer("a@example.org", "s", "b"));
}

TEST_F(SmtpMailerTest, SendMailViaSmtpTurnsCrLfIntoBrInTheCallersText) {
  std::string body = "CPU 97 %\r\nTop: hog\r\n\r\nend\nlone LF stays";
  mailer.SendMailViaSmtp("ops@example.org", body, "High CPU");

  EXPECT_EQ(body, "CPU 97 %<br>Top: hog<br><br>end\nlone LF stays");
  const MailerRequest r = HandedOver();
  EXPECT_EQ(r.body, body);
  EXPECT_EQ(r.subject, "High CPU");
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Mailing out log to ops@example.org via SMTP server smtp.example.org"}));
}

TEST_F(SmtpMailerTest, SubjectAliasingTheBodyGoesOutWithTheBrToo) {
  std::string alert = "web01: CPU 97 %\r\nTop: hog";
  mailer.SendMailViaSmtp("ops@example.org", alert, alert);

  const MailerRequest r = HandedOver();
  EXPECT_EQ(r.subject, "web01: CPU 97 %<br>Top: hog");
  EXPECT_EQ(r.body, "web01: CPU 97 %<br>Top: hog");
}

TEST_F(SmtpMailerTest, AMailerThatCannotStartIsLoggedInsteadOfTheMailingLine) {
  launcher.startable = false;
  std::string body = "a\r\nb";
  mailer.SendMailViaSmtp("ops@example.org", body, "s");
  EXPECT_FALSE(mailer.RunMailer("boss@example.org", "s", "b"));

  EXPECT_EQ(body, "a<br>b");
  EXPECT_EQ(launcher.starts.size(), 2u);
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Mail to ops@example.org not sent: the mailer cannot be started: "
                     "/opt/tarnwick/mailcmdssl",
                     "Mail to boss@example.org not sent: the mailer cannot be started: "
                     "/opt/tarnwick/mailcmdssl"}));
}

TEST_F(SmtpMailerTest, AFailedRunIsLoggedWithItsRecipientsServerAndReason) {
  std::string body = "b";
  mailer.SendMailViaSmtp("ops@example.org,boss@example.org", body, "s");
  ASSERT_TRUE(mailer.RunMailer("ops@example.org", "s", "b"));
  // The server in the line is the one the mail went to, whatever the settings say by now.
  settings.mailSvr = "other.example.org";
  ASSERT_EQ(launcher.finished.size(), 2u);
  log.clear();

  launcher.finished[0](MailerExit{false, "mailcmdssl: Login denied: 535 5.7.8 bad\r\nforged"});
  launcher.finished[1](MailerExit{true, ""});

  EXPECT_EQ(log, (std::vector<std::string>{
                     "Mail to ops@example.org,boss@example.org via SMTP server smtp.example.org "
                     "failed: mailcmdssl: Login denied: 535 5.7.8 bad  forged"}));
}

TEST_F(SmtpMailerTest, ARunEndingAfterTheMailerIsGoneIsDropped) {
  std::vector<MailerFinished> pending;
  {
    SmtpMailer gone(settings, launcher, "/opt/tarnwick/mailcmdssl",
                    [this](const std::string& line) { log.push_back(line); });
    ASSERT_TRUE(gone.RunMailer("ops@example.org", "s", "b"));
  }
  log.clear();
  launcher.finished.at(0)(MailerExit{false, "too late"});
  EXPECT_TRUE(log.empty());
}

TEST(SendMailCdoTest, HandsEveryValueToTheClientAndReturnsItsAnswer) {
  for (const std::string answer : {"", "Login denied: 535 5.7.8 Authentication failed"}) {
    RecordingClient client;
    client.answer = answer;
    EXPECT_EQ(SendMailCdo(client, "u", "p", "f@example.org", "t@example.org", "s", "<p>b</p>",
                          "smtp.example.org", "465"),
              answer);
    ASSERT_EQ(client.mails.size(), 1u);
    const SmtpMail& m = client.mails[0];
    EXPECT_EQ(std::vector<std::string>({m.user, m.password, m.sender, m.recipients, m.subject,
                                        m.htmlBody, m.server, m.port}),
              std::vector<std::string>({"u", "p", "f@example.org", "t@example.org", "s", "<p>b</p>",
                                        "smtp.example.org", "465"}));
  }
}

}  // namespace
}  // namespace tarnwick
