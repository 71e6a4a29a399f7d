// tarnwickd's options for fleets: the metrics address and the settings commands, with the line
// a wrong one gets.
#include <gtest/gtest.h>

#include "headless/options.h"

namespace tarnwick {
namespace {

using Action = HeadlessOptions::Action;

TEST(FleetOptions, MetricsAddressAndSettingsCommands) {
  const struct {
    std::vector<std::string> args;
    Action action;
    std::string listen;  // the address as given back, empty for none
    std::vector<std::string> assignments;
    std::vector<std::string> passwordNames;
    std::string error;
  } cases[] = {
      {{"--metrics-listen", "9101"}, Action::Run, "127.0.0.1:9101", {}, {}, ""},
      {{"--settings-dir", "/etc/tarnwick", "--metrics-listen", "[::]:9101"},
       Action::Run,
       "[::]:9101",
       {},
       {},
       ""},
      {{"--metrics-listen"},
       Action::Error,
       "",
       {},
       {},
       "tarnwickd: option '--metrics-listen' needs ADDR:PORT or PORT\n"},
      {{"--metrics-listen", "web01:9101"},
       Action::Error,
       "",
       {},
       {},
       "tarnwickd: --metrics-listen 'web01:9101' is not PORT, IPV4:PORT or [IPV6]:PORT "
       "(0.0.0.0:PORT for every interface)\n"},
      {{"--show-settings", "--settings-dir", "/etc/tarnwick"},
       Action::ShowSettings,
       "",
       {},
       {},
       ""},
      {{"--set", "cpu_High=90", "TimeInterval=2", "--set-password", "smsPassword", "--set",
        "smsPhone=+1"},
       Action::SetSettings,
       "",
       {"cpu_High=90", "TimeInterval=2", "smsPhone=+1"},
       {"smsPassword"},
       ""},
      {{"--set-password", "MailPass"}, Action::SetSettings, "", {}, {"MailPass"}, ""},
      {{"--set"}, Action::Error, "", {}, {}, "tarnwickd: option '--set' needs NAME=VALUE\n"},
      {{"--set", "--show-settings"},
       Action::Error,
       "",
       {},
       {},
       "tarnwickd: option '--set' needs NAME=VALUE\n"},
      {{"--set-password"},
       Action::Error,
       "",
       {},
       {},
       "tarnwickd: option '--set-password' needs a NAME\n"},
      {{"--show-settings", "--set", "a=1"},
       Action::Error,
       "",
       {},
       {},
       "tarnwickd: --show-settings cannot be combined with --set or --set-password\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const HeadlessOptions options = ParseHeadlessOptions(c.args);
    EXPECT_EQ(options.action, c.action);
    EXPECT_EQ(options.metricsListen ? ListenAddressText(*options.metricsListen) : "", c.listen);
    EXPECT_EQ(options.assignments, c.assignments);
    EXPECT_EQ(options.passwordNames, c.passwordNames);
    EXPECT_EQ(options.error, c.error);
  }
  EXPECT_NE(HeadlessUsage().find("--metrics-listen [ADDR:]PORT"), std::string::npos);
}

// What a configuration tool writes: the settings shown by name, passwords cleared on purpose and
// the exit code that tells a change; each only where it has a meaning.
TEST(FleetOptions, ShownNamesClearedPasswordsAndDetailedExitCodes) {
  const struct {
    std::vector<std::string> args;
    Action action;
    std::vector<std::string> shown;
    std::vector<std::string> passwordNames;
    std::vector<std::string> emptyPasswords;
    bool detailed;
    std::string error;
  } cases[] = {
      {{"--show-settings", "cpu_High", "MailPass", "--settings-dir", "/etc/tarnwick"},
       Action::ShowSettings,
       {"cpu_High", "MailPass"},
       {},
       {},
       false,
       ""},
      {{"--detailed-exitcodes", "--set-password", "smsPassword", "--empty", "--set-password",
        "MailPass", "--set", "cpu_High=1"},
       Action::SetSettings,
       {},
       {"MailPass"},
       {"smsPassword"},
       true,
       ""},
      {{"--set", "cpu_High=1", "--empty"},
       Action::Error,
       {},
       {},
       {},
       false,
       "tarnwickd: option '--empty' follows --set-password NAME, whose password it clears\n"},
      {{"--show-settings", "--detailed-exitcodes"},
       Action::Error,
       {},
       {},
       {},
       true,
       "tarnwickd: option '--detailed-exitcodes' goes with --set or --set-password\n"},
      {{"--detailed-exitcodes"},
       Action::Error,
       {},
       {},
       {},
       true,
       "tarnwickd: option '--detailed-exitcodes' goes with --set or --set-password\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const HeadlessOptions options = ParseHeadlessOptions(c.args);
    EXPECT_EQ(options.action, c.action);
    EXPECT_EQ(options.shownNames, c.shown);
    EXPECT_EQ(options.passwordNames, c.passwordNames);
    EXPECT_EQ(options.emptyPasswords, c.emptyPasswords);
    EXPECT_EQ(options.detailedExitCodes, c.detailed);
    EXPECT_EQ(options.error, c.error);
  }
  const std::string usage = HeadlessUsage();
  for (const char* documented : {"--show-settings [NAME...]", "--detailed-exitcodes",
                                 "3 when a file was", "--empty", "Unchanged"}) {
    EXPECT_NE(usage.find(documented), std::string::npos) << documented;
  }
}

}  // namespace
}  // namespace tarnwick
