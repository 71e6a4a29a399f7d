#include "headless/options.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Action = HeadlessOptions::Action;

TEST(HeadlessOptions, HelpAndVersionAreTheOnlyOptions) {
  const struct {
    std::vector<std::string> args;
    Action action;
    const char* bad;
  } cases[] = {
      {{}, Action::Run, ""},
      {{"--help"}, Action::Help, ""},
      {{"-h"}, Action::Help, ""},
      {{"--version"}, Action::Version, ""},
      {{"--version", "--help"}, Action::Version, ""},
      {{"--verbose"}, Action::Error, "--verbose"},
      {{"--help", "x"}, Action::Error, "x"},
      {{"--HELP"}, Action::Error, "--HELP"},
      {{""}, Action::Error, ""},
  };
  for (const auto& c : cases) {
    const HeadlessOptions options = ParseHeadlessOptions(c.args);
    EXPECT_EQ(options.action, c.action) << ::testing::PrintToString(c.args);
    EXPECT_EQ(options.badArgument, c.bad) << ::testing::PrintToString(c.args);
  }
}

TEST(HeadlessOptions, TextsNameTheProgram) {
  EXPECT_EQ(HeadlessUsage().rfind("Usage: tarnwickd ", 0), 0u);
  EXPECT_EQ(HeadlessVersion(), "tarnwickd (Tarnwick) 4.3\n");
  EXPECT_EQ(HeadlessOptionError("--x"), "tarnwickd: unknown option '--x'\n");
}

}  // namespace
}  // namespace tarnwick
