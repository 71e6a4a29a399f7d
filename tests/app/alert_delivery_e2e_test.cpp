// The real program, headless, against the local stand-in of the web service and a real SMTP
// server: it logs in, the alert of a CPU hog with a hostile name reaches the service and the
// mailbox whole, a credit update follows and the credits show; with the service down the login
// fails on the connection and monitoring goes on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "alerts/html_text.h"
#include "mailer/mail_test_support.h"
#include "program_runner.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kAccount = "ops@x.example";
constexpr const char* kPassword = "p&ss #1 %";
// A process name that would add a parameter to an unencoded request, and live markup to a mail
// body that is not escaped (15 characters, the most a process name keeps).
constexpr const char* kHogName = "<p hidden>&to=9";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The value of "key": "..." in one JSON line of the stand-in's log (ASCII escapes only).
std::string JsonField(const std::string& line, const std::string& key) {
  const std::string start = "\"" + key + "\": \"";
  size_t at = line.find(start);
  if (at == std::string::npos) return "";
  std::string value;
  for (at += start.size(); at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\' && at + 1 < line.size()) {
      ++at;
      if (line[at] == 'u' && at + 4 < line.size()) {
        value.push_back(static_cast<char>(std::stoi(line.substr(at + 1, 4), nullptr, 16)));
        at += 4;
        continue;
      }
    }
    value.push_back(line[at]);
  }
  return value;
}

// The stand-in's requests to one path, one JSON line each.
std::vector<std::string> Requests(const std::string& log, const std::string& path) {
  std::vector<std::string> lines;
  for (const std::string& line : mailtest::Lines(log)) {
    if (JsonField(line, "path") == path) lines.push_back(line);
  }
  return lines;
}

class AlertDeliveryEndToEnd : public ::testing::Test {
 protected:
  TempDir dir;
  fs::path program = dir.path() / "program";
  fs::path home = dir.path() / "home";
  std::string serviceLog = (dir.path() / "service.jsonl").string();

  void WriteSettings(const mailtest::SmtpServer& smtp) {
    Settings s;
    s.TimeInterval = "1";
    s.cpu_High = "0";
    s.mem_High = "101";
    s.num_High = "2";
    s.host_Name = "E2EHOST";
    s.Enable_log = 1;
    s.Enable_alert = 1;
    s.smsEmail = kAccount;
    s.smsPassword = kPassword;
    s.smsPhone = "+15550100";
    s.Mail_List = "ops@x.example,boss@x.example";
    s.max_SMS = "9999";
    s.Enable_SMTP = 1;
    s.mailSvr = smtp.host();
    s.SMTPport = smtp.port();
    s.mailFrom = mailtest::kSmtpUser;
    s.MailUser = mailtest::kSmtpUser;
    s.MailPass = mailtest::kSmtpPassword;
    s.min_Select = "5";
    WriteFile((program / "setting.ini").string(), FormatSettingFile(s));
    WriteFile((program / "smtpsvr.ini").string(), FormatSmtpFile(s));
  }
};

TEST_F(AlertDeliveryEndToEnd, AlertReachesServiceAndMailboxWholeThenSurvivesTheServiceGoingDown) {
  MakeProgramFolder(program);
  fs::create_directories(home);
  mailtest::SmtpServer smtp(mailtest::TlsMode::kStartTls);
  ASSERT_TRUE(smtp.ready()) << smtp.log();
  WriteSettings(smtp);

  RunningProgram service(
      {mailtest::kPython, TARNWICK_STANDIN_SCRIPT, "--port", "0", "--account", kAccount,
       "--password", kPassword, "--credits", "50", "--api-id", "AB12cd", "--log", serviceLog},
      ChildEnvironment(home.string()));
  std::string port;
  ASSERT_TRUE(service.WaitForOutput(
      [&](const std::string& out) {
        const size_t at = out.find("READY ");
        if (at == std::string::npos || out.find('\n', at) == std::string::npos) return false;
        port = out.substr(at + 6, out.find('\n', at) - at - 6);
        return true;
      },
      15s));

  const fs::path hog = dir.path() / kHogName;
  fs::copy_file(TARNWICK_HOG, hog);
  RunningProgram burner({hog.string(), "burn"}, ChildEnvironment(home.string()));
  ASSERT_TRUE(burner.started());

  const std::vector<std::string> env =
      ChildEnvironment(home.string(), {"TARNWICK_SERVICE_HOST=127.0.0.1:" + port});
  {
    RunningProgram run({(program / "tarnwick").string()}, env);
    ASSERT_TRUE(run.started());
    const bool credited =
        run.WaitForOutput([](const std::string& out) { return Has(out, "SMS credits: 49"); }, 30s);
    const std::string out = run.ReadOutput(0);
    const std::string log = ReadFile(serviceLog);
    ASSERT_TRUE(credited) << out << "\n" << log;
    EXPECT_TRUE(Has(out, "Account status: Account : ops@x.example")) << out;

    const auto logins = Requests(log, "/textpost/php/sms_logon.php");
    ASSERT_EQ(logins.size(), 1u) << log;
    EXPECT_EQ(JsonField(logins[0], "email"), kAccount);
    EXPECT_EQ(JsonField(logins[0], "pwd"), kPassword);

    const auto sends = Requests(log, "/textpost/php/smstoolsen.php");
    ASSERT_EQ(sends.size(), 1u) << "the alert goes out once while the load stays: " << log;
    const std::string text = JsonField(sends[0], "text");
    EXPECT_EQ(JsonField(sends[0], "to"), "+15550100");
    EXPECT_EQ(JsonField(sends[0], "api_id"), "ab12cd");
    EXPECT_EQ(JsonField(sends[0], "email_list"), "ops@x.example,boss@x.example");
    EXPECT_TRUE(Has(text, " E2EHOST CPU ")) << text;
    EXPECT_TRUE(Has(text, "% exceed 0% for ")) << text;
    EXPECT_TRUE(Has(text, std::string("TOP1 : ") + kHogName + " ")) << text;
    EXPECT_TRUE(Has(out, "Send SMS message [" + text + "]")) << out;
    EXPECT_EQ(Requests(log, "/textpost/php/creditupdate.php").size(), 1u) << log;

    const auto mail = smtp.WaitForMail(30s);
    ASSERT_TRUE(mail) << out;
    EXPECT_EQ(mail->subject, text);
    // The body is HTML: the name arrives as text, escaped.
    EXPECT_EQ(mail->body, HtmlEscape(text));
    EXPECT_FALSE(Has(mail->body, "<p hidden>")) << mail->body;
    EXPECT_EQ(mail->rcpt, (std::vector<std::string>{"ops@x.example", "boss@x.example"}));

    const auto stopped = run.Stop(SIGTERM, 5s);
    ASSERT_TRUE(stopped.has_value());
    EXPECT_EQ(WEXITSTATUS(*stopped), 0);
  }

  ASSERT_TRUE(service.Stop(SIGTERM, 5s).has_value());
  RunningProgram again({(program / "tarnwick").string()}, env);
  ASSERT_TRUE(again.started());
  const bool goesOn = again.WaitForOutput(
      [](const std::string& out) {
        return Has(out, "Connecting Error or Timeout !! Please check your network or try again") &&
               Has(out, "Not Login alert message [");
      },
      30s);
  const std::string out = again.ReadOutput(0);
  EXPECT_TRUE(goesOn) << out;
  EXPECT_TRUE(Has(out, "Account status: Not Login.Please login for alert sending !!")) << out;
}

}  // namespace
}  // namespace tarnwick::testing
