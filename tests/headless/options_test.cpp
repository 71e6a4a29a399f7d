#include "headless/options.h"

#include <gtest/gtest.h>

#include "domain/settings_location.h"

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

// Root running the installed program (the package's /usr/lib/tarnwick) is the service: the
// folders its systemd unit names, unless the command line names others. A user, or root running a
// copy elsewhere (a build folder, /opt), keeps the rule for everyone.
TEST(HeadlessOptions, OnlyRootRunningTheInstalledProgramDefaultsToTheServiceFolders) {
  const std::string installed = "/usr/lib/tarnwick";
  const struct {
    const char* who;
    ServerFolderFacts facts;
    ServerFolders folders;
  } cases[] = {
      {"root, installed",
       {true, installed, installed, "", ""},
       {"/etc/tarnwick", "/var/log/tarnwick"}},
      {"root, installed, trailing slash",
       {true, installed + "/", installed, "", ""},
       {"/etc/tarnwick", "/var/log/tarnwick"}},
      {"root, installed, --settings-dir",
       {true, installed, installed, "/srv/tw", ""},
       {"/srv/tw", "/var/log/tarnwick"}},
      {"root, installed, both given",
       {true, installed, installed, "/srv/tw", "/srv/logs"},
       {"/srv/tw", "/srv/logs"}},
      {"a user, installed", {false, installed, installed, "", ""}, {"", ""}},
      {"a user, installed, --log-dir", {false, installed, installed, "", "/tmp/l"}, {"", "/tmp/l"}},
      {"root, a build folder", {true, "/home/dev/tarnwick/build/bin", installed, "", ""}, {"", ""}},
      {"root, a folder of its own", {true, "/opt/tarnwick", installed, "", ""}, {"", ""}},
      {"root, the program folder unknown", {true, "", "", "", ""}, {"", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.who);
    const ServerFolders folders = ChooseServerFolders(c.facts);
    EXPECT_EQ(folders.settingsFolder, c.folders.settingsFolder);
    EXPECT_EQ(folders.logFolder, c.folders.logFolder);
  }
}

TEST(HeadlessOptions, TextsNameTheProgram) {
  EXPECT_EQ(HeadlessUsage().rfind("Usage: tarnwickd ", 0), 0u);
  EXPECT_EQ(HeadlessVersion(), "tarnwickd (Tarnwick) 4.3\n");
  EXPECT_EQ(HeadlessOptionError("--x"), "tarnwickd: unknown option '--x'\n");
}

}  // namespace
}  // namespace tarnwick
