// tarnwickd against the local stand-in of the web service and a real SMTP server, with a CPU hog
// whose executable's file name holds characters that steer a terminal or reorder what is read:
// ESC, the C1 control CSI (U+009B) and the right-to-left override (U+202E). Wherever the name
// goes (the daily log, the SMS request, the mail and the usage history on the terminal) it shows
// with "?" in their place, and none of those characters arrives.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "delivery/html_text.h"
#include "app/program_runner.h"
#include "app/standin_service.h"
#include "mailer/mail_test_support.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kAccount = "ops@x.example";
constexpr const char* kPassword = "pw-1";
// "exe." after the override reads backwards ("hog.exe" on the screen); CSI and ESC start
// terminal sequences (clear the screen, red text).
const std::string kHogName =
    "hog\xE2\x80\xAE"
    "exe.\xC2\x9B"
    "2J\x1B[31mred";
const std::string kShownName = "hog?exe.?2J?[31mred";
// The characters themselves in UTF-8, and as the stand-in's JSON log writes them.
const std::vector<std::string> kRawForms = {"\xE2\x80\xAE", "\xC2\x9B", "\x1B"};
const std::vector<std::string> kJsonForms = {"\\u202e", "\\u009b", "\\u001b"};

// Which of `forms` occur in `text`, for the failure message.
std::vector<std::string> Found(const std::string& text, const std::vector<std::string>& forms) {
  std::vector<std::string> found;
  for (const std::string& form : forms) {
    if (Has(text, form)) found.push_back(form);
  }
  return found;
}

// The value of "key": "..." in one JSON line of the stand-in's log (ASCII only).
std::string JsonField(const std::string& line, const std::string& key) {
  const std::string start = "\"" + key + "\": \"";
  size_t at = line.find(start);
  if (at == std::string::npos) return "";
  std::string value;
  for (at += start.size(); at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\' && at + 1 < line.size()) ++at;
    value.push_back(line[at]);
  }
  return value;
}

TEST(TarnwickdShownNames, ProcessNameShowsWithQuestionMarksInLogSmsMailAndHistory) {
  TempDir dir;
  const fs::path program = dir.path() / "program";
  const fs::path home = dir.path() / "home";
  const std::string serviceLog = (dir.path() / "service.jsonl").string();
  MakeProgramFolder(program);
  fs::create_directories(home);

  mailtest::SmtpServer smtp(mailtest::TlsMode::kStartTls);
  ASSERT_TRUE(smtp.ready()) << smtp.log();
  // Five samples: the hog leads at least one of them even beside other work.
  Settings s = AlertingSettings("NAMEHOST", kAccount, kPassword, "5");
  s.Enable_log = 1;
  s.Mail_List = "ops@x.example";
  mailtest::UseAsSecondServer(s, smtp);
  WriteFile((program / "setting.ini").string(), FormatSettingFile(s));
  WriteFile((program / "smtpsvr.ini").string(), FormatSmtpFile(s));

  RunningProgram service(
      StandInCommand(kAccount, kPassword, serviceLog, {"--credits", "50", "--api-id", "AB12cd"}),
      ChildEnvironment(home.string()));
  const std::string port = WaitForReadyPort(service);
  ASSERT_FALSE(port.empty());

  const fs::path hog = dir.path() / kHogName;
  fs::copy_file(TARNWICK_HOG, hog);
  RunningProgram burner({hog.string(), "burn"}, ChildEnvironment(home.string()));
  ASSERT_TRUE(burner.WaitForOutput([](const std::string& out) { return Has(out, "ready"); }, 10s));
  // Ahead of the machine's other work where the test may raise it.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(burner.pid()), -20);

  const std::vector<std::string> env =
      ChildEnvironment(home.string(), {"TARNWICK_SERVICE_HOST=127.0.0.1:" + port});
  {
    RunningProgram run({(program / "tarnwickd").string()}, env);
    ASSERT_TRUE(run.started());
    const bool credited =
        run.WaitForOutput([](const std::string& out) { return Has(out, "SMS credits: 49"); }, 40s);
    ASSERT_TRUE(credited) << run.ReadOutput(0) << "\n" << ReadFile(serviceLog);
    ASSERT_TRUE(run.Stop(SIGTERM, 5s).has_value());
  }

  // The SMS request: the alert names the hog among the top processes.
  std::string sms;
  for (const std::string& line : mailtest::Lines(ReadFile(serviceLog))) {
    if (JsonField(line, "path") != "/textpost/php/smstoolsen.php") continue;
    EXPECT_EQ(Found(line, kJsonForms), std::vector<std::string>{}) << line;
    sms = JsonField(line, "text");
  }
  ASSERT_TRUE(Has(sms, kShownName)) << sms;

  // The daily log: the exceed lines and the alert.
  const std::string log = ReadFile((home / "monitor_log" / TodaysLogName()).string());
  EXPECT_TRUE(Has(log, "TOP 1 : " + kShownName + " (")) << log;
  EXPECT_TRUE(Has(log, "Send SMS message [" + sms + "]")) << log;
  EXPECT_EQ(Found(log, kRawForms), std::vector<std::string>{}) << log;

  // The mail: the alert as its subject and, escaped, as its body.
  const auto mail = smtp.WaitForMail(30s);
  ASSERT_TRUE(mail);
  EXPECT_EQ(mail->subject, sms);
  EXPECT_EQ(mail->body, HtmlEscape(sms));
  EXPECT_EQ(Found(mail->content, kRawForms), std::vector<std::string>{});

  // The usage history on the terminal: the alert among the events.
  const FinishedProgram history =
      RunToEnd({(program / "tarnwickd").string(), "--history"}, ChildEnvironment(home.string()));
  EXPECT_EQ(history.exitCode, 0) << history.err;
  EXPECT_TRUE(Has(history.out, kShownName)) << history.out;
  EXPECT_EQ(Found(history.out, kRawForms), std::vector<std::string>{}) << history.out;
}

}  // namespace
}  // namespace tarnwick::testing
