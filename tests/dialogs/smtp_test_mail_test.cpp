// The SMTP dialog's test mail through the program's real SMTP client against a real SMTP server
// (STARTTLS and AUTH, tests/fixtures/smtp_server.py): a server that takes the mail gives
// "Mail sent OK", one that cannot be reached gives the client's error with the provider's hint,
// and one that accepts and then stays silent holds up nothing.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "forms/main_window_model.h"
#include "forms/smtp_server_model.h"
#include "mailer/mail_test_support.h"
#include "platform/curl/background_smtp_client.h"
#include "unit/model_fixture.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

class SmtpTestMailTest : public ModelFixture {
 protected:
  UiQueue uiThread;
  BackgroundSmtpClient client{uiThread.Poster()};

  void SetUp() override {
    ModelFixture::SetUp();
    Rebuild([this](DeskDeps& deps) { deps.smtpClient = &client; });
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
  ASSERT_TRUE(uiThread.RunUntil([&] { return !ui.messages.empty(); }, 60s));

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
  SmtpServerModel& d = DialogFor("127.0.0.1", std::to_string(testing::FreeLoopbackPort()));
  d.mailFrom = "monitor@yahoo.com";
  ui.inputResult = "ops@example.org";
  ui.answers = {MessageAnswer::Ok};

  d.OnCommand2Click();
  ASSERT_TRUE(uiThread.RunUntil([&] { return !ui.messages.empty(); }, 60s));

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

TEST_F(SmtpTestMailTest, ServerThatAcceptsAndStaysSilentHoldsUpNothing) {
  // A listening socket that nobody serves: the kernel accepts the connection, no greeting comes.
  const int silent = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(silent, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(silent, 4), 0);
  ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
  SmtpServerModel& d = DialogFor("127.0.0.1", std::to_string(ntohs(address.sin_port)));
  ui.inputResult = "ops@example.org";

  const auto before = std::chrono::steady_clock::now();
  d.OnCommand2Click();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 2s) << "the click waited for the server";
  EXPECT_EQ(d.Command2.caption, "Testing .....");
  EXPECT_FALSE(d.Command2.enabled);
  // The program goes on: monitoring cycles still run while the server says nothing.
  const std::string lastCheck = model->lbl_lastTime.caption;
  clock.Advance(1);
  engine->cycleCountdown = 1;
  model->OnTmrUpdateTick();
  EXPECT_NE(model->lbl_lastTime.caption, lastCheck);
  d.OnCommand2Click();
  EXPECT_EQ(ui.inputs.size(), 1u) << "a second click while sending asked again";
  EXPECT_FALSE(uiThread.RunUntil([&] { return !ui.messages.empty(); }, 1s));

  // Once the server goes away the answer comes, with its error and the hint.
  close(silent);
  ASSERT_TRUE(uiThread.RunUntil([&] { return !ui.messages.empty(); }, 90s));
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(d.Command2.caption, "Send Test Mail");
  EXPECT_TRUE(d.Command2.enabled);
}

}  // namespace
}  // namespace tarnwick::testing
