// Which form a settings file's text is in, decided without the system: a fake code page
// (ISO 8859-1, where every byte is the code point of the same number) stands in for the ANSI one.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "settings/settings_store.h"

namespace tarnwick {
namespace {

std::string FromLatin1(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

// Only U+0000..U+00FF fit; the input is well-formed UTF-8 in every case below.
std::optional<std::string> ToLatin1(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out.push_back(utf8[i]);
    } else if ((b == 0xC2 || b == 0xC3) && i + 1 < utf8.size()) {
      out.push_back(static_cast<char>(((b & 0x03) << 6) | (utf8[++i] & 0x3F)));
    } else {
      return std::nullopt;
    }
  }
  return out;
}

constexpr SettingsCodePage kLatin1{&FromLatin1, &ToLatin1};

// "zzzzzzzz" scrambles to padding bytes past 0x7F ('z' plus its position), which are not UTF-8.
const std::string kHighPaddingPassword = EncodeText("", "zzzzzzzz");

TEST(SettingsTextTest, AFileIsDecodedFromTheCodePageOnlyWhenItsTextIsNotWellFormedUtf8) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<size_t> scrambled;
    std::string expected;
  };
  const Case cases[] = {
      {"UTF-8 stays",
       "Stra\xC3\x9F"
       "e\r\n",
       {},
       "Straße\r\n"},
      {"code page decoded",
       "Stra\xDF"
       "e\r\n",
       {},
       "Straße\r\n"},
      {"line ends kept, ASCII lines untouched", "5\r\nM\xFCller\nx\ry", {}, "5\r\nMüller\nx\ry"},
      {"overlong form", "\xC0\xAF", {}, "À¯"},
      {"surrogate", "\xED\xA0\x80", {}, "í\xC2\xA0\xC2\x80"},
      {"sequence cut at the end", "ab\xC3", {}, "abÃ"},
      {"scrambled padding is not text",
       "Stra\xC3\x9F"
       "e\r\n" +
           kHighPaddingPassword + "\r\n",
       {1},
       "Straße\r\n" + kHighPaddingPassword + "\r\n"},
      {"the same bytes, the line not named",
       "Stra\xC3\x9F"
       "e\r\n" +
           kHighPaddingPassword,
       {},
       "StraÃ\xC2\x9F"
       "e\r\n" +
           FromLatin1(kHighPaddingPassword)},
      {"a code page password in an ASCII file",
       "host\r\n" + EncodeText("", "p\xE4ss") + "\r\n",
       {1},
       "host\r\n" + EncodeText("", "päss") + "\r\n"},
      {"empty", "", {0}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SettingsTextFromFile(c.bytes, c.scrambled, kLatin1), c.expected) << c.what;
  }
}

TEST(SettingsTextTest, TextIsStoredInTheCodePageOnlyWhenItReadsBackTheSame) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<size_t> scrambled;
    std::string expected;
  };
  const Case cases[] = {
      {"fits",
       "5\r\nStraße\r\n",
       {},
       "5\r\nStra\xDF"
       "e\r\n"},
      {"Greek does not fit", "Αθήνα\r\n", {}, "Αθήνα\r\n"},
      {"one line that does not fit keeps the whole file UTF-8",
       "Straße\r\nΑθήνα\r\n",
       {},
       "Straße\r\nΑθήνα\r\n"},
      // 0xC3 0xA9 is "é" in UTF-8: stored in the code page, "Ã©" would read back as "é".
      {"code page bytes that read as other UTF-8", "Ã©\r\n", {}, "Ã©\r\n"},
      {"ASCII", "5\r\n75\r\n", {}, "5\r\n75\r\n"},
      {"scrambled password",
       "Straße\r\n" + EncodeText("", "päss") + "\r\n",
       {1},
       "Stra\xDF"
       "e\r\n" +
           EncodeText("", "p\xE4ss") + "\r\n"},
      {"ASCII password keeps its line",
       "Straße\r\n" + kHighPaddingPassword + "\r\n",
       {1},
       "Stra\xDF"
       "e\r\n" +
           kHighPaddingPassword + "\r\n"},
  };
  for (const Case& c : cases) {
    const std::string stored = SettingsTextForFile(c.text, c.scrambled, kLatin1);
    EXPECT_EQ(stored, c.expected) << c.what;
    EXPECT_EQ(SettingsTextFromFile(stored, c.scrambled, kLatin1), c.text) << c.what;
  }
}

TEST(SettingsTextTest, PasswordsReadBackThroughTheParsers) {
  Settings settings;
  settings.host_Name = "Straße";
  settings.smsPassword = "päss wörd";
  settings.MailPass = "zzzzzzzzzz€";
  const std::vector<size_t> settingPassword{17};
  const std::vector<size_t> smtpPassword{5};
  Settings read;
  ParseSettingFile(SettingsTextFromFile(
                       SettingsTextForFile(FormatSettingFile(settings), settingPassword, kLatin1),
                       settingPassword, kLatin1),
                   read);
  ParseSmtpFile(
      SettingsTextFromFile(SettingsTextForFile(FormatSmtpFile(settings), smtpPassword, kLatin1),
                           smtpPassword, kLatin1),
      read);
  EXPECT_EQ(read.host_Name, "Straße");
  EXPECT_EQ(read.smsPassword, "päss wörd");
  EXPECT_EQ(read.MailPass, "zzzzzzzzzz€");
}

#ifndef _WIN32
// The settings files of POSIX systems are UTF-8: nothing is decoded and nothing converted.
TEST(SettingsTextTest, PosixSystemsKeepTheBytesBothWays) {
  const std::string latin1 =
      "Stra\xDF"
      "e\r\n" +
      kHighPaddingPassword + "\r\n";
  EXPECT_EQ(SettingsTextFromFile(latin1, {}), latin1);
  EXPECT_EQ(SettingsTextForFile("Straße\r\n", {}), "Straße\r\n");
}
#endif

}  // namespace
}  // namespace tarnwick
