// Where the settings files live: beside the program while that folder is the user's, else in the
// user's configuration folder by the XDG rules, or on Windows in the user's application data.
#include "domain/settings_location.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(SettingsLocationTest, PortableFolderWinsElseTheConfigurationFolder) {
  struct Case {
    const char* what;
    SettingsPlaceFacts facts;
    std::string expected;
  };
  const Case cases[] = {
      {"writable program folder",
       {"/home/ann/tw", true, "/home/ann/cfg", "/home/ann", ""},
       "/home/ann/tw"},
      {"installed, XDG_CONFIG_HOME set",
       {"/usr/lib/tarnwick", false, "/home/ann/cfg/", "/home/ann", ""},
       "/home/ann/cfg/tarnwick"},
      {"installed, relative XDG_CONFIG_HOME is ignored",
       {"/usr/lib/tarnwick", false, "cfg", "/home/ann", ""},
       "/home/ann/.config/tarnwick"},
      {"installed, no XDG_CONFIG_HOME",
       {"/usr/lib/tarnwick", false, "", "/home/ann/", ""},
       "/home/ann/.config/tarnwick"},
      {"installed, no home at all", {"/usr/lib/tarnwick", false, "", "", ""}, "/usr/lib/tarnwick"},
      {"installed, home is the root",
       {"/usr/lib/tarnwick", false, "", "/", ""},
       "/usr/lib/tarnwick"},
      {"Windows, a copied folder the user may write",
       {"D:\\tools\\Tarnwick", true, "", "", "C:\\Users\\ann\\AppData\\Roaming"},
       "D:\\tools\\Tarnwick"},
      {"Windows, installed under Program Files",
       {"C:\\Program Files\\Tarnwick", false, "", "", "C:\\Users\\ann\\AppData\\Roaming\\"},
       "C:\\Users\\ann\\AppData\\Roaming\\Tarnwick"},
      {"Windows, roaming profile on a share",
       {"C:\\Program Files\\Tarnwick", false, "", "", "\\\\srv\\home\\ann"},
       "\\\\srv\\home\\ann\\Tarnwick"},
      {"Windows, a relative APPDATA is ignored",
       {"C:\\Program Files\\Tarnwick", false, "", "", "Roaming"},
       "C:\\Program Files\\Tarnwick"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseSettingsFolder(c.facts), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace tarnwick
