// The monitor's whole path: SmtpMailer starts the real mailcmdssl through PosixMailerLauncher and
// the mail reaches a real server; the launcher never holds up the caller, never leaves a zombie,
// and says at once when there is nothing to start.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "alerts/smtp_mailer.h"
#include "mail_test_support.h"
#include "platform/posix/posix_mailer_launcher.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

using mailtest::ChildrenLeftAfter;
using mailtest::SmtpServer;
using mailtest::TlsMode;

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
  PosixMailerLauncher launcher;
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
}

TEST(MailerLaunchTest, LargeTextToASlowReaderDoesNotHoldUpTheCaller) {
  testing::TempDir dir;
  const std::string out = dir / "received";
  setenv("TARNWICK_SINK_OUT", out.c_str(), 1);
  // The "I am alive" notice carries the whole log pane: far more than a pipe holds.
  std::string text;
  for (int i = 0; text.size() < 600 * 1024; ++i)
    text += "12:00:0" + std::to_string(i % 10) + " line\r\n";
  PosixMailerLauncher launcher;

  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(launcher.Start(kSink, text));
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
  PosixMailerLauncher launcher;
  for (const std::string& program : {dir / "missing", notExecutable, folder}) {
    SCOPED_TRACE(program);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(launcher.Start(program, "text"));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  }
  EXPECT_TRUE(mailtest::Children().empty());

  // The monitor goes on and still logs the mail it meant to send.
  Settings settings;
  settings.mailSvr = "smtp.example.org";
  std::vector<std::string> log;
  SmtpMailer mailer(settings, launcher, dir / "missing",
                    [&log](const std::string& line) { log.push_back(line); });
  std::string body = "a\r\nb";
  mailer.SendMailViaSmtp("ops@example.org", body, "s");
  EXPECT_EQ(body, "a<br>b");
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Mailing out log to ops@example.org via SMTP server smtp.example.org"}));
}

}  // namespace
}  // namespace tarnwick
