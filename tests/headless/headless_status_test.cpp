// What tarnwickd prints of a login in place of the window's account line and credits: the lines
// of each way a login ends, each printed once when it changes.
#include "headless/headless_status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/headless_ui_services.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;
using Step = LoginResult::Step;

TEST(HeadlessStatus, EachWayALoginEndsPrintsItsLines) {
  const std::string connecting = "Account status: Connecting to Textpost, please wait .....";
  const struct {
    const char* name;
    std::vector<LoginResult> steps;
    Lines printed;
  } cases[] = {
      {"no account",
       {{Step::Started, {}, "0", {}}, {Step::NoAccount, {}, {}, {}}},
       {"Account status: Not Login. Email account or password is empty,please goto setup .....",
        "SMS credits: 0"}},
      {"accepted",
       {{Step::Started, {}, "0", {}},
        {Step::Connecting, {}, {}, {}},
        {Step::Accepted, {}, "250", "ops@x.example"}},
       {connecting, "SMS credits: 0", "Account status: Account : ops@x.example",
        "SMS credits: 250"}},
      {"refused: the reply, and no credits",
       {{Step::Started, {}, "0", {}},
        {Step::Connecting, {}, {}, {}},
        {Step::Refused, "-err no such account", "0", {}}},
       {connecting, "SMS credits: 0", "Account status: -err no such account"}},
      {"unreadable: the box's line first",
       {{Step::Started, {}, "0", {}},
        {Step::Connecting, {}, {}, {}},
        {Step::Unreadable, {}, "0", {}}},
       {connecting, "SMS credits: 0",
        "Tarnwick: Connecting Error or Timeout !! Please check your network or try again",
        "Account status: Not Login.Please login for alert sending !!"}},
  };
  for (const auto& c : cases) {
    Lines printed;
    const auto print = [&printed](const std::string& line) { printed.push_back(line); };
    HeadlessUiServices ui(print);
    HeadlessStatus status(print, ui);
    for (const LoginResult& step : c.steps) status.OnLogin(step);
    EXPECT_EQ(printed, c.printed) << c.name;
  }
}

TEST(HeadlessStatus, CreditsArePrintedWhenTheyChange) {
  Lines printed;
  const auto print = [&printed](const std::string& line) { printed.push_back(line); };
  HeadlessUiServices ui(print);
  HeadlessStatus status(print, ui);
  status.OnLogin({Step::Accepted, {}, "50", "ops@x.example"});
  status.OnCredits({"49"});
  status.OnCredits({"49"});
  EXPECT_EQ(printed, (Lines{"Account status: Account : ops@x.example", "SMS credits: 50",
                            "SMS credits: 49"}));
}

}  // namespace
}  // namespace tarnwick
