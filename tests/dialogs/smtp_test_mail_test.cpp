// The SMTP dialog's test mail through the program's real SMTP client against a real SMTP server
// (STARTTLS and AUTH, tests/fixtures/smtp_server.py): a server that takes the mail gives
// "Mail sent OK", one that cannot be reached gives the client's error with the provider's hint.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "alerts/smtp_server_model.h"
#include "mailer/mail_test_support.h"
#include "monitor/main_window_model.h"
#include "platform/curl/curl_smtp_client.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

class SmtpTestMailTest : public ModelFixture {
 protected:
  CurlSmtpClient client;

  void SetUp() override {
    ModelFixture::SetUp();
    Rebuild([this](MainWindowDeps& deps) { deps.smtpClient = &client; });
    model->OnLoad();
    ui.messages.clear();
  }

  // Types the account of the test server into the shown dialog.
  SmtpServerModel& DialogFor(const std::string& host, const std::string& port) {
    model->OnSMTPsetupClick();
    SmtpServerModel& d = model->smtpServer();
    d.Check1 = true;
    d.OnCheck1Click();
    d.OnPublicSMTPClick(kMySmtpPreset);
    d.mailSvr = host;
    d.SMTPport = port;
    d.MailUser = mailtest::kSmtpUser;
    d.OnMailUserChange();
    d.MailPass = mailtest::kSmtpPassword;
    return d;
  }
};

TEST_F(SmtpTestMailTest, ServerThatTakesTheMailGivesMailSentOk) {
  mailtest::SmtpServer server(mailtest::TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  SmtpServerModel& d = DialogFor(server.host(), server.port());
  ui.inputResult = "ops@example.org";

  d.OnCommand2Click();

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Mail sent OK");
  const std::optional<mailtest::ReceivedMail> mail = server.WaitForMail(30s);
  ASSERT_TRUE(mail.has_value());
  EXPECT_EQ(mail->from, mailtest::kSmtpUser);
  EXPECT_EQ(mail->rcpt, std::vector<std::string>{"ops@example.org"});
  EXPECT_EQ(mail->subject, "TEST MAIL - 2026-12-04 10:15:07 Tarnwick Test mail from SMTP server");
  EXPECT_NE(mail->body.find(" Mail from " + server.host() + " port number is " + server.port()),
            std::string::npos)
      << mail->body;
}

TEST_F(SmtpTestMailTest, UnreachableServerGivesTheErrorWithTheProvidersHint) {
  SmtpServerModel& d = DialogFor("127.0.0.1", std::to_string(mailtest::ClosedLoopbackPort()));
  d.mailFrom = "monitor@yahoo.com";
  ui.inputResult = "ops@example.org";
  ui.answers = {MessageAnswer::Ok};

  d.OnCommand2Click();

  ASSERT_EQ(ui.messages.size(), 1u);
  const std::string& text = ui.messages[0].text;
  const std::string hint =
      "\r\nYour Yahoo account must enable\r\nAllow apps that use less secure sign in\r\nClick OK "
      "to check detail setup";
  ASSERT_GT(text.size(), hint.size());
  EXPECT_EQ(text.substr(text.size() - hint.size()), hint);
  // The client's error comes first, on one line of its own.
  EXPECT_EQ(text.find('\n'), text.size() - hint.size() + 1) << text;
  EXPECT_EQ(ui.urls.size(), 1u);
  EXPECT_EQ(d.Command2.caption, "Send Test Mail");
}

}  // namespace
}  // namespace tarnwick::testing
