// tarnwick.exe's wiring under Wine, driven from Linux: prepares a Windows program folder (the
// Windows test executable that builds the program's own object, the settings, a copy of
// win_hog.exe as tarnhog.exe), starts the web service's stand-in and an SMTP server on the
// loopback, runs the Win32EndToEnd cases on a display of their own (tools/wine-display.sh) and
// checks what reached the servers: the alert's SMS request with the host (in Greek) and the hog
// named in it, and the test mail in the mailbox. Runs when TARNWICK_WINDOWS_BIN names the Windows
// build's program folder (tools/test-windows.sh sets it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
constexpr const char* kPassword = "p&ss #1 %";

TEST(TarnwickExeUnderWine, AlertHistoryAndTestMailThroughTheProgramsOwnWiring) {
  const char* windowsBin = std::getenv("TARNWICK_WINDOWS_BIN");
  if (windowsBin == nullptr || !fs::exists(fs::path(windowsBin) / "win32app_tests.exe")) {
    GTEST_SKIP() << "TARNWICK_WINDOWS_BIN does not name a folder with win32app_tests.exe";
  }
  TempDir dir;
  const fs::path home = dir.path() / "home";
  const fs::path program = dir.path() / "winprogram";
  fs::create_directories(home);
  fs::create_directories(program);
  const fs::path bin(windowsBin);
  for (const char* name : {"win32app_tests.exe", "tarnwick.exe", "tarnwickd.exe", "mailcmdssl.exe",
                           "eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav", "Hand-m.cur"}) {
    fs::copy_file(bin / name, program / name);
  }
  fs::copy_file(bin / "win_hog.exe", program / "tarnhog.exe");

  mailtest::SmtpServer smtp(mailtest::TlsMode::kStartTls);
  ASSERT_TRUE(smtp.ready()) << smtp.log();
  const std::string serviceLog = (dir.path() / "service.jsonl").string();
  RunningProgram service(
      StandInCommand(kAccount, kPassword, serviceLog, {"--credits", "50", "--api-id", "AB12cd"}),
      ChildEnvironment(home.string()));
  const std::string port = WaitForReadyPort(service);
  ASSERT_FALSE(port.empty());

  // A host described partly in Greek: it must reach the log and the SMS whole.
  Settings s = AlertingSettings("E2EHOST Διακ", kAccount, kPassword);
  s.Enable_log = 1;
  s.mailFrom = mailtest::kSmtpUser;
  WriteFile((program / "setting.ini").string(), FormatSettingFile(s));

  const std::vector<std::string> env = ChildEnvironment(
      home.string(), {"TARNWICK_SERVICE_HOST=127.0.0.1:" + port, "TARNWICK_E2E=1",
                      "TARNWICK_E2E_SMTP_PORT=" + smtp.port(),
                      std::string("TARNWICK_E2E_SMTP_USER=") + mailtest::kSmtpUser,
                      std::string("TARNWICK_E2E_SMTP_PASSWORD=") + mailtest::kSmtpPassword});
  const std::string prefix = (fs::path(windowsBin).parent_path() / "wineprefix-display").string();
  const FinishedProgram run =
      RunToEnd({"/bin/bash", TARNWICK_WINE_DISPLAY_SCRIPT, prefix, "/usr/bin/wine",
                (program / "win32app_tests.exe").string(), "--gtest_filter=Win32EndToEnd.*"},
               env, 480s);
  const std::string requests = ReadFile(serviceLog);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err << requests;
  EXPECT_TRUE(Has(run.out, "[  PASSED  ] 2 tests")) << run.out;

  // The alert reached the service whole: the SMS request names the host and the hog.
  bool sent = false;
  for (const std::string& line : mailtest::Lines(requests)) {
    // The stand-in writes its JSON lines in ASCII, with \u escapes.
    if (Has(line, "smstoolsen.php") && Has(line, " E2EHOST \\u0394\\u03b9\\u03b1\\u03ba CPU ") &&
        Has(line, "tarnhog.exe")) {
      sent = true;
    }
  }
  EXPECT_TRUE(sent) << requests;
  // The test mail reached the mailbox.
  const std::optional<mailtest::ReceivedMail> mail = smtp.WaitForMail(10s);
  ASSERT_TRUE(mail.has_value()) << smtp.log();
  EXPECT_TRUE(Has(mail->subject, "Tarnwick Test mail from SMTP server")) << mail->content;
  EXPECT_EQ(mail->rcpt, std::vector<std::string>{"ops@example.org"});

  // Both Windows programs read the history the run left in c:\monitor_log, and open no window.
  auto inWine = [&](const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/bin/bash", TARNWICK_WINE_DISPLAY_SCRIPT, prefix,
                                  "/usr/bin/wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunToEnd(argv, ChildEnvironment(home.string()), 120s);
  };
  const FinishedProgram history =
      inWine({(program / "tarnwick.exe").string(), "--history", "--since", "1h"});
  EXPECT_EQ(history.exitCode, 0) << history.err;
  EXPECT_TRUE(Has(history.out, "tarnhog.exe")) << history.out;
  EXPECT_TRUE(Has(history.out, " E2EHOST Διακ CPU ")) << history.out;
  const fs::path csv = dir.path() / "samples.csv";
  std::string csvOnZ = "Z:" + csv.string();
  for (char& c : csvOnZ) {
    if (c == '/') c = '\\';
  }
  const FinishedProgram exported =
      inWine({(program / "tarnwickd.exe").string(), "--export-history", csvOnZ, "--since", "1h"});
  EXPECT_EQ(exported.exitCode, 0) << exported.out << exported.err;
  const std::string rows = ReadFile(csv.string());
  EXPECT_EQ(rows.rfind("time,cpu_percent,memory_percent,", 0), 0u) << rows;
  EXPECT_TRUE(Has(rows, ",tarnhog.exe,")) << rows;
}

}  // namespace
}  // namespace tarnwick::testing
