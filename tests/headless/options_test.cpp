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

// The Windows service's commands, and the option of its own command line, with the folders it
// is given; elsewhere they are unknown options.
TEST(HeadlessOptions, ServiceOptionsOnWindowsOnly) {
  const HeadlessOptions install = ParseHeadlessOptions(
      {"--install-service", "--settings-dir", "D:\\tw", "--log-dir", "E:\\logs"});
  const HeadlessOptions run = ParseHeadlessOptions({"--service", "--settings-dir", "D:\\tw"});
  const HeadlessOptions uninstall = ParseHeadlessOptions({"--uninstall-service"});
#ifdef _WIN32
  EXPECT_EQ(install.action, Action::InstallService);
  EXPECT_EQ(install.settingsFolder, "D:\\tw");
  EXPECT_EQ(install.logFolder, "E:\\logs");
  EXPECT_EQ(run.action, Action::Run);
  EXPECT_TRUE(run.underServiceManager);
  EXPECT_EQ(run.settingsFolder, "D:\\tw");
  EXPECT_EQ(uninstall.action, Action::UninstallService);
  EXPECT_FALSE(install.underServiceManager);
  EXPECT_NE(HeadlessUsage().find("  --install-service"), std::string::npos);
#else
  EXPECT_EQ(install.badArgument, "--install-service");
  EXPECT_EQ(run.badArgument, "--service");
  EXPECT_EQ(uninstall.badArgument, "--uninstall-service");
  EXPECT_EQ(HeadlessUsage().find("service"), std::string::npos);
#endif
}

TEST(HeadlessOptions, TextsNameTheProgram) {
  EXPECT_EQ(HeadlessUsage().rfind("Usage: tarnwickd ", 0), 0u);
  EXPECT_EQ(HeadlessVersion(), "tarnwickd (Tarnwick) 4.3\n");
  EXPECT_EQ(HeadlessOptionError("--x"), "tarnwickd: unknown option '--x'\n");
}

}  // namespace
}  // namespace tarnwick
