// The UI services without a window: every question is answered at once with its default, and
// what a person would have seen is printed as one line.
#include "headless/headless_ui_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

TEST(HeadlessUiServices, MessageBoxesPrintTitleAndTextAndTakeTheDefaultButton) {
  const struct {
    MessageButtons buttons;
    MessageAnswer answer;
  } cases[] = {{MessageButtons::Ok, MessageAnswer::Ok},
               {MessageButtons::OkCancel, MessageAnswer::Ok},
               {MessageButtons::YesNo, MessageAnswer::No}};
  for (const auto& c : cases) {
    std::vector<std::string> printed;
    HeadlessUiServices ui([&](const std::string& line) { printed.push_back(line); });
    EXPECT_EQ(ui.MessageBox("Save failed:\r\nsetting.ini\nread-only\r", c.buttons, "Tarnwick"),
              c.answer);
    EXPECT_EQ(printed, std::vector<std::string>{"Tarnwick: Save failed:  setting.ini read-only "});
  }
}

TEST(HeadlessUiServices, NothingWaitsForAPerson) {
  std::vector<std::string> printed;
  HeadlessUiServices ui([&](const std::string& line) { printed.push_back(line); });
  EXPECT_EQ(ui.InputBox("Recipients?", "Test mail", "a@b.example"), "a@b.example");
  EXPECT_EQ(ui.PickFile({}), std::nullopt);
  ui.OpenUrl("http://svc.example/help");
  ui.OpenWithViewer("/home/u/monitor_log/Tarnwick_log_1204.txt");
  EXPECT_EQ(printed, (std::vector<std::string>{
                         "Test mail: Recipients?",
                         "Not opened without a desktop: http://svc.example/help",
                         "Not opened without a desktop: /home/u/monitor_log/Tarnwick_log_1204.txt",
                     }));
}

// Whatever a log line, a server's reply or a message box holds, one line reaches the terminal or
// the journal, and nothing in it steers the terminal or reorders what the reader sees.
TEST(HeadlessUiServices, EveryPrintedLineIsOneLineOfPlainText) {
  const struct {
    std::string line;
    std::string written;
  } cases[] = {
      {"2026-12-04 10:15:07 - Monitoring Started", "2026-12-04 10:15:07 - Monitoring Started\n"},
      {"\r\n", "\n"},
      {"SMS credits: 49\r\n", "SMS credits: 49\n"},
      {"Account status: -err\r\n2026-12-04 10:15:07 - Process 1 terminated",
       "Account status: -err  2026-12-04 10:15:07 - Process 1 terminated\n"},
      {"SMS credits: \x1b[2J\x1b]0;pwned\x07 49", "SMS credits: ?[2J?]0;pwned? 49\n"},
      {"SMS credits: \xc2\x9b"
       "31m49",
       "SMS credits: ?31m49\n"},
      {"Account status: \xe2\x80\xae"
       "dekcol",
       "Account status: ?dekcol\n"},
      {"x\xe2\x80\xa8y\x9bz\x7f", "x?y?z?\n"},
      {"Überlast 🔥", "Überlast 🔥\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(TerminalLine(c.line), c.written) << c.line;

  std::vector<std::string> printed;
  HeadlessUiServices ui([&](const std::string& line) { printed.push_back(line); });
  ui.MessageBox("Reply: \x1b[31mred\xe2\x80\xae", MessageButtons::Ok, "Tarnwick\x1b[0m");
  EXPECT_EQ(printed, std::vector<std::string>{"Tarnwick?[0m: Reply: ?[31mred?"});
}

}  // namespace
}  // namespace tarnwick
