// The monitor's whole path: SmtpMailer starts the real mailcmdssl through PosixMailerLauncher and
// the mail reaches a real server, or its failure reaches the log with the mailer's reason; the
// launcher never holds up the caller, never leaves a zombie, says at once when there is nothing
// to start, and tells how each run ended.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "delivery/smtp_mailer.h"
#include "mail_test_support.h"
#include "platform/posix/posix_mailer_launcher.h"
#include "support/fakes.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

using mailtest::ChildrenLeftAfter;
using mailtest::SmtpServer;
using mailtest::TlsMode;
using testing::UiQueue;

constexpr const char* kMailer = TARNWICK_MAILER_PATH;
constexpr const char* kSink = TARNWICK_STDIN_SINK_PATH;

std::string Describe(const std::vector<mailtest::ChildState>& children) {
  std::string text;
  for (const auto& c : children) text += std::to_string(c.pid) + ":" + c.state + " ";
  return text;
}

TEST(MailerLaunchTest, AlertMailGoesOutThroughTheMailerAndLeavesNoZombie) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  Settings settings;
  settings.mailSvr = server.host();
  settings.SMTPport = server.port();
  settings.mailFrom = "monitor@example.org";
  settings.MailUser = mailtest::kSmtpUser;
  settings.MailPass = mailtest::kSmtpPassword;
  UiQueue uiThread;
  PosixMailerLauncher launcher(uiThread.Poster());
  std::vector<std::string> log;
  SmtpMailer mailer(settings, launcher, kMailer,
                    [&log](const std::string& line) { log.push_back(line); });

  std::string body = "web01 #3: CPU 97 %\r\nTop: hog 100%";
  mailer.SendMailViaSmtp("ops@example.org,boss@example.org", body, "High CPU on web01");

  EXPECT_EQ(body, "web01 #3: CPU 97 %<br>Top: hog 100%");
  EXPECT_EQ(log, (std::vector<std::string>{"Mailing out log to ops@example.org,boss@example.org "
                                           "via SMTP server 127.0.0.1"}));
  const auto mail = server.WaitForMail();
  ASSERT_TRUE(mail.has_value());
  EXPECT_EQ(mail->subject, "High CPU on web01");
  EXPECT_EQ(mail->body, "web01 #3: CPU 97 %<br>Top: hog 100%");
  EXPECT_EQ(mail->rcpt, (std::vector<std::string>{"ops@example.org", "boss@example.org"}));
  const auto left = ChildrenLeftAfter(10s, server.pid());
  EXPECT_TRUE(left.empty()) << "children left (pid:state): " << Describe(left);
  // The exit came back, and a mail that went out adds no line.
  ASSERT_TRUE(uiThread.RunUntil([&] { return uiThread.ran == 1; }, 10s));
  EXPECT_EQ(log.size(), 1u);
}

// Each way a real mail fails ends in one log line with the recipients and the mailer's reason.
TEST(MailerLaunchTest, EveryFailureOfTheMailerIsLoggedWithItsReason) {
  SmtpServer server(TlsMode::kStartTls);
  ASSERT_TRUE(server.ready()) << server.log();
  const std::string trusted = server.certificate();
  testing::TempDir dir;
  const std::string untrusted = dir / "other-ca.pem";
  testing::WriteFile(untrusted, "");
  struct Case {
    const char* name;
    std::string port;
    std::string password;
    std::string caFile;
    std::string reason;  // what the logged reason starts with, after "mailcmdssl: "
  };
  const Case cases[] = {
      {"authentication refused", server.port(), "wrong", trusted, "Login denied"},
      {"certificate not trusted", server.port(), mailtest::kSmtpPassword, untrusted, ""},
      {"server unreachable", std::to_string(testing::FreeLoopbackPort()), mailtest::kSmtpPassword,
       trusted, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setenv(mailtest::kCaFileVariable, c.caFile.c_str(), 1);
    Settings settings;
    settings.mailSvr = server.host();
    settings.SMTPport = c.port;
    settings.mailFrom = settings.MailUser = mailtest::kSmtpUser;
    settings.MailPass = c.password;
    UiQueue uiThread;
    PosixMailerLauncher launcher(uiThread.Poster());
    std::vector<std::string> log;
    SmtpMailer mailer(settings, launcher, kMailer,
                      [&log](const std::string& line) { log.push_back(line); });
    std::string body = "b";
    mailer.SendMailViaSmtp("ops@example.org,boss@example.org", body, "s");
    ASSERT_TRUE(uiThread.RunUntil([&] { return uiThread.ran == 1; }, 90s));
    ASSERT_EQ(log.size(), 2u);
    const std::string failed = "Mail to ops@example.org,boss@example.org via SMTP server " +
                               server.host() + " failed: mailcmdssl: ";
    EXPECT_EQ(log[1].substr(0, failed.size()), failed) << log[1];
    EXPECT_EQ(log[1].substr(failed.size(), c.reason.size()), c.reason) << log[1];
    EXPECT_GT(log[1].size(), failed.size()) << "no reason given";
  }
  setenv(mailtest::kCaFileVariable, trusted.c_str(), 1);
  EXPECT_TRUE(server.Mails().empty());
}

// Runs that end without a line on standard error, or never end, are told by the launcher itself.
TEST(MailerLaunchTest, ExitWithoutReasonAndAHungMailerAreToldByTheLauncher) {
  testing::TempDir dir;
  struct Case {
    const char* script;
    bool sent;
    std::string reason;
  } cases[] = {
      {"#!/bin/sh\ncat >/dev/null\n", true, ""},
      {"#!/bin/sh\nexit 7\n", false, "the mailer ended with status 7"},
      {"#!/bin/sh\nprintf 'first\\tline\\nsecond\\n' >&2\nexit 3\n", false, "first line"},
      {"#!/bin/sh\nkill -9 $$\n", false, "the mailer was ended by signal 9"},
      {"#!/bin/sh\nexec sleep 30\n", false, "the mailer gave no answer within 1 s and was stopped"},
  };
  UiQueue uiThread;
  PosixMailerLauncher launcher(uiThread.Poster(), 1);
  std::vector<MailerExit> exits(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string program = dir / ("mailer" + std::to_string(i));
    testing::WriteFile(program, cases[i].script);
    chmod(program.c_str(), 0755);
    ASSERT_TRUE(launcher.Start(program, "text",
                               [&exits, i](const MailerExit& outcome) { exits[i] = outcome; }));
  }
  EXPECT_EQ(uiThread.ran, 0u) << "an exit was told inside Start";
  ASSERT_TRUE(uiThread.RunUntil([&] { return uiThread.ran == std::size(cases); }, 30s));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].script);
    EXPECT_EQ(exits[i].sent, cases[i].sent);
    EXPECT_EQ(exits[i].reason, cases[i].reason);
  }
  const auto left = ChildrenLeftAfter(10s);
  EXPECT_TRUE(left.empty()) << "children left (pid:state): " << Describe(left);
}

TEST(MailerLaunchTest, LargeTextToASlowReaderDoesNotHoldUpTheCaller) {
  testing::TempDir dir;
  const std::string out = dir / "received";
  setenv("TARNWICK_SINK_OUT", out.c_str(), 1);
  // The "I am alive" notice carries the whole log pane: far more than a pipe holds.
  std::string text;
  for (int i = 0; text.size() < 600 * 1024; ++i)
    text += "12:00:0" + std::to_string(i % 10) + " line\r\n";
  UiQueue uiThread;
  PosixMailerLauncher launcher(uiThread.Poster());

  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(launcher.Start(kSink, text, [](const MailerExit&) {}));
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, 1s) << "Start waited for the reader";

  EXPECT_TRUE(mailtest::WaitFor([&] { return std::filesystem::exists(out); }, 30s));
  EXPECT_EQ(testing::ReadFile(out), text);
  const auto left = ChildrenLeftAfter(10s);
  EXPECT_TRUE(left.empty()) << "children left (pid:state): " << Describe(left);
}

TEST(MailerLaunchTest, NothingToStartIsToldAtOnce) {
  testing::TempDir dir;
  const std::string notExecutable = dir / "mailcmdssl";
  testing::WriteFile(notExecutable, "#!/bin/true\n");
  chmod(notExecutable.c_str(), 0644);
  const std::string folder = dir / "folder";
  std::filesystem::create_directory(folder);
  UiQueue uiThread;
  PosixMailerLauncher launcher(uiThread.Poster());
  for (const std::string& program : {dir / "missing", notExecutable, folder}) {
    SCOPED_TRACE(program);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(launcher.Start(program, "text", [](const MailerExit&) {}));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  }
  EXPECT_TRUE(mailtest::Children().empty());

  // The monitor goes on and logs that the mail did not leave, never that it did.
  Settings settings;
  settings.mailSvr = "smtp.example.org";
  std::vector<std::string> log;
  SmtpMailer mailer(settings, launcher, dir / "missing",
                    [&log](const std::string& line) { log.push_back(line); });
  std::string body = "a\r\nb";
  mailer.SendMailViaSmtp("ops@example.org", body, "s");
  EXPECT_EQ(body, "a<br>b");
  EXPECT_EQ(log, (std::vector<std::string>{"Mail to ops@example.org not sent: the mailer cannot "
                                           "be started: " +
                                           (dir / "missing")}));
  EXPECT_EQ(uiThread.RunPending(), 0u);
}

}  // namespace
}  // namespace tarnwick
