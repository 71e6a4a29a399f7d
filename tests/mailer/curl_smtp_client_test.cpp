// The in-process test mail (SendMailCdo with CurlSmtpClient) against a real STARTTLS server: the
// mail a client reads back is the mail that was sent, the certificate is checked, and every
// failure comes back as text.
#include "platform/curl/curl_smtp_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "delivery/smtp_mailer.h"
#include "mail_test_support.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

using mailtest::kSmtpPassword;
using mailtest::kSmtpUser;
using mailtest::SmtpServer;
using mailtest::TlsMode;

std::string Send(const SmtpServer& server, const std::string& recipients,
                 const std::string& subject, const std::string& body,
                 const std::string& password = kSmtpPassword) {
  CurlSmtpClient client;
  return SendMailCdo(client, kSmtpUser, password, "Tarnwick <monitor@example.org>", recipients,
                     subject, body, server.host(), server.port());
}

TEST(CurlSmtpClientTest, TestMailArrivesAsSentOverStartTls) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  struct Case {
    std::string subject;
    std::string body;
    std::string shownSubject;  // as the receiving client decodes it
  };
  const Case cases[] = {
      {"Test mail", "<p>Hello</p>", "Test mail"},
      {"Überlast – CPU 95 % 🔥", "<p>Grüße</p>", "Überlast – CPU 95 % 🔥"},
      {"Alert\r\nBcc: evil@example.org", "<p>x</p>", "Alert  Bcc: evil@example.org"},
      {std::string(150, 's'), "<p>" + std::string(5000, 'y') + "</p>\r\n.\r\n<p>after dot</p>",
       std::string(150, 's')},
  };
  const std::vector<std::string> headers = {
      "Date", "From", "To", "Subject", "MIME-Version", "Content-Type", "Content-Transfer-Encoding"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.subject);
    EXPECT_EQ(Send(server, "ops@example.org, ,boss@example.org ", c.subject, c.body), "");
    ASSERT_TRUE(mailtest::WaitFor([&] { return server.Mails().size() > i; }, 60s));
    const mailtest::ReceivedMail mail = server.Mails()[i];
    EXPECT_EQ(mail.from, "monitor@example.org");
    EXPECT_EQ(mail.rcpt, (std::vector<std::string>{"ops@example.org", "boss@example.org"}));
    EXPECT_EQ(mail.subject, c.shownSubject);
    EXPECT_EQ(mail.headers, headers);
    EXPECT_EQ(mail.body, c.body);
  }
}

TEST(CurlSmtpClientTest, LineBreakInARecipientAddsNoRecipientToTheEnvelope) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  EXPECT_EQ(Send(server, "ops@example.org,x@example.org>\r\nRCPT TO:<evil@x.org", "s", "<p>b</p>"),
            "");
  ASSERT_TRUE(mailtest::WaitFor([&] { return !server.Mails().empty(); }, 60s));
  EXPECT_EQ(server.Mails()[0].rcpt, (std::vector<std::string>{"ops@example.org"}));
}

// The sender is held to the recipients' rule before the server hears of it; "Name <address>" is
// the one form with angle brackets.
TEST(CurlSmtpClientTest, SendersThatCouldForgeCommandsOrHeadersAreRefused) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  const struct {
    std::string sender;
    std::string envelope;  // empty: refused
  } cases[] = {
      {"Tarnwick <monitor@example.org>", "monitor@example.org"},
      {"m@example.org>\r\nRCPT TO:<evil@x.org", ""},
      {"Evil\r\nBcc: victim@x.org <m@example.org>", ""},
      {"m@example.org\nRSET", ""},
      {"Mon>itor <m@example.org>", ""},
      {" monitor@example.org ", "monitor@example.org"},
  };
  CurlSmtpClient client;
  size_t sent = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sender);
    SmtpMail mail;
    mail.user = kSmtpUser;
    mail.password = kSmtpPassword;
    mail.sender = c.sender;
    mail.recipients = "ops@example.org";
    mail.subject = "s";
    mail.htmlBody = "<p>b</p>";
    mail.server = server.host();
    mail.port = server.port();
    const std::string error = client.SendHtmlMail(mail);
    if (c.envelope.empty()) {
      EXPECT_EQ(error, kUnsafeSenderError);
      continue;
    }
    EXPECT_EQ(error, "");
    ++sent;
    ASSERT_TRUE(mailtest::WaitFor([&] { return server.Mails().size() >= sent; }, 60s));
    EXPECT_EQ(server.Mails().back().from, c.envelope);
    EXPECT_EQ(server.Mails().back().rcpt, (std::vector<std::string>{"ops@example.org"}));
  }
  EXPECT_EQ(server.Mails().size(), sent) << "a refused sender reaches no server";
}

TEST(CurlSmtpClientTest, UntrustedCertificateIsRefused) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  // Only the system's CAs: the server's self-signed certificate is not among them.
  unsetenv(mailtest::kCaFileVariable);

  const std::string error = Send(server, "ops@example.org", "s", "b");
  EXPECT_NE(error.find("certificate"), std::string::npos) << error;
  EXPECT_TRUE(server.Mails().empty());
}

TEST(CurlSmtpClientTest, FailuresComeBackAsOneLine) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  CurlSmtpClient client;
  SmtpMail closedPort;
  closedPort.recipients = "ops@example.org";
  closedPort.server = "127.0.0.1";
  closedPort.port = std::to_string(testing::FreeLoopbackPort());
  struct Case {
    const char* name;
    std::string error;
    std::string expectedPart;
  };
  const Case cases[] = {
      {"closed port", client.SendHtmlMail(closedPort), "onnect"},
      {"wrong password", Send(server, "ops@example.org", "s", "b", "wrong"), "Login denied"},
      {"no recipients", Send(server, " , ,", "s", "b"), std::string(kNoRecipientsError)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(c.error.find(c.expectedPart), std::string::npos) << c.error;
    EXPECT_EQ(c.error.find('\n'), std::string::npos) << c.error;
  }
  EXPECT_TRUE(server.Mails().empty());
}

}  // namespace
}  // namespace tarnwick
