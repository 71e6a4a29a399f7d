// mailcmdssl against a real SMTP server with TLS and AUTH: the mail arrives whole over both TLS
// modes and both ways of handing over the text, and every refusal is told on standard error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "delivery/mailer_text.h"
#include "mail_test_support.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

using mailtest::kSmtpPassword;
using mailtest::kSmtpUser;
using mailtest::RunResult;
using mailtest::SmtpServer;
using mailtest::TlsMode;

constexpr const char* kMailer = TARNWICK_MAILER_PATH;

// The mailer under test: this build's, or with TARNWICK_WINDOWS_BIN set (tools/test-windows.sh),
// mailcmdssl.exe of the Windows build under Wine. Schannel matches names only, so the Windows
// mailer is sent to "localhost", the name in the test certificate.
std::vector<std::string> MailerCommand() {
  const char* windowsBin = std::getenv("TARNWICK_WINDOWS_BIN");
  if (windowsBin == nullptr || *windowsBin == '\0') return {kMailer};
  return {"/usr/bin/wine", std::string(windowsBin) + "/mailcmdssl.exe"};
}

std::string MailHost(const SmtpServer& server) {
  return MailerCommand().size() > 1 ? "localhost" : server.host();
}
// A '#' text in the body that, split wrongly, would name another server and port.
constexpr const char* kBody = "Process a#evil.example#25 at 100%<br>CPU x&to=999#y %z";

MailerRequest RequestFor(const SmtpServer& server) {
  return {std::string(kMailerToken),
          kSmtpUser,
          kSmtpPassword,
          "monitor@example.org",
          "ops@example.org, boss@example.org",
          "web01: CPU 97 %",
          kBody,
          MailHost(server),
          server.port()};
}

enum class Input { kStandardInput, kArgument };

RunResult RunMailer(const std::string& text, Input input, const testing::TempDir& scratch) {
  std::vector<std::string> argv = MailerCommand();
  if (input == Input::kArgument) {
    argv.push_back(text);
    return mailtest::Run(argv, "", scratch);
  }
  return mailtest::Run(argv, text, scratch);
}

TEST(MailerProgramTest, MailArrivesOverEachTlsModeAndInputWay) {
  struct Case {
    TlsMode mode;
    Input input;
    const char* name;
  };
  const Case cases[] = {
      {TlsMode::kImplicit, Input::kStandardInput, "port 465, text on standard input"},
      {TlsMode::kStartTls, Input::kArgument, "STARTTLS, text as argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmtpServer server(c.mode);
    ASSERT_TRUE(server.ready()) << server.log();
    testing::TempDir scratch;

    const RunResult run = RunMailer(FormatMailerText(RequestFor(server)), c.input, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");

    const auto mail = server.WaitForMail();
    ASSERT_TRUE(mail.has_value());
    EXPECT_EQ(mail->from, "monitor@example.org");
    EXPECT_EQ(mail->rcpt, (std::vector<std::string>{"ops@example.org", "boss@example.org"}));
    EXPECT_EQ(mail->subject, "web01: CPU 97 %");
    EXPECT_EQ(mail->body, kBody);
  }
}

TEST(MailerProgramTest, AMegabyteBodyWithCrLfAndCtrlZArrivesByteForByte) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  testing::TempDir scratch;
  MailerRequest request = RequestFor(server);
  // Ctrl-Z ends a text-mode standard input on Windows, and text mode turns CR LF into LF.
  std::string body;
  while (body.size() < 1'000'000) body += "line\r\nwith\x1A Ctrl-Z<br>";
  request.body = body;
  const RunResult run = RunMailer(FormatMailerText(request), Input::kStandardInput, scratch);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const auto mail = server.WaitForMail();
  ASSERT_TRUE(mail.has_value());
  EXPECT_EQ(mail->body.size(), body.size());
  EXPECT_TRUE(mail->body == body) << "the body changed on the way";
}

TEST(MailerProgramTest, WrongPasswordFailsWithTheServersReason) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  testing::TempDir scratch;
  MailerRequest request = RequestFor(server);
  request.password = "wrong";

  const RunResult run = RunMailer(FormatMailerText(request), Input::kStandardInput, scratch);
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.exitCode, -1) << "killed at the time limit";
  ASSERT_EQ(mailtest::Lines(run.err).size(), 1u) << run.err;
  EXPECT_NE(run.err.find("Login denied"), std::string::npos) << run.err;
  EXPECT_TRUE(server.Mails().empty());
}

TEST(MailerProgramTest, TextNotFromTheMonitorIsRefusedBeforeAnyMail) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  testing::TempDir scratch;
  MailerRequest wrongToken = RequestFor(server);
  wrongToken.token = "TWK43MLX";
  const std::string good = FormatMailerText(RequestFor(server));
  struct Case {
    std::string text;
    Input input;
    const char* reason;
  };
  const Case cases[] = {
      {FormatMailerText(wrongToken), Input::kStandardInput, "token"},
      {FormatMailerText(wrongToken), Input::kArgument, "token"},
      {good.substr(0, good.rfind('#')), Input::kStandardInput, "9 fields"},
      {good + "#" + server.port(), Input::kArgument, "9 fields"},
      {"", Input::kStandardInput, "9 fields"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const RunResult run = RunMailer(c.text, c.input, scratch);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.exitCode, -1) << "killed at the time limit";
    EXPECT_EQ(mailtest::Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
  }
  EXPECT_TRUE(server.Mails().empty());
}

}  // namespace
}  // namespace tarnwick
