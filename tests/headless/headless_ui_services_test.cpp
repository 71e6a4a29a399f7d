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
    EXPECT_EQ(printed, std::vector<std::string>{"Tarnwick: Save failed: setting.ini read-only "});
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

}  // namespace
}  // namespace tarnwick
