// Reading and writing the lines of setting.ini and smtpsvr.ini, without touching the disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "settings/settings_store.h"
#include "settings_test_support.h"

namespace tarnwick {
namespace {

using testing::Describe;
using testing::FileOfLines;
using testing::FilledSettings;
using testing::SettingFileOf;
using testing::SmtpFileOf;

Settings ParsedSetting(const std::string& content) {
  Settings s;
  ParseSettingFile(content, s);
  return s;
}

TEST(SettingFileTest, EmptyRuleLinesTakeTheirFallbacksAndOthersAreKeptUntrimmed) {
  const Settings empty = ParsedSetting("");
  EXPECT_EQ(empty.TimeInterval, "5");
  EXPECT_EQ(empty.cpu_High, "75");
  EXPECT_EQ(empty.mem_High, "80");
  EXPECT_EQ(empty.num_High, "60");
  EXPECT_EQ(empty.host_Name, "");
  EXPECT_EQ(empty.Enable_log, 0);
  EXPECT_FALSE(empty.Killopt);

  // A blank line is not empty: lines 1 to 4 are used as read.
  const Settings blank = ParsedSetting(SettingFileOf({{1, " "}, {2, " 90 "}, {4, "\t3"}}));
  EXPECT_EQ(blank.TimeInterval, " ");
  EXPECT_EQ(blank.cpu_High, " 90 ");
  EXPECT_EQ(blank.mem_High, "80");
  EXPECT_EQ(blank.num_High, "\t3");
}

TEST(SettingFileTest, OtherLinesAreTrimmedAndProcessNamesLowerCased) {
  const Settings s = ParsedSetting(SettingFileOf({{5, "  Mail Host\t"},
                                                  {8, " 3 "},
                                                  {10, " Notepad.EXE,Calc.exe "},
                                                  {17, " ops@example.com "},
                                                  {24, " 19 "}}));
  // Spaces go, a tab stays: it may belong to the value.
  EXPECT_EQ(s.host_Name, "Mail Host\t");
  EXPECT_EQ(s.num_Kill, "3");
  EXPECT_EQ(s.PnameList, "notepad.exe,calc.exe");
  EXPECT_EQ(s.smsEmail, "ops@example.com");
  EXPECT_EQ(s.smsTo, "19");
}

// Lines 6, 7 and 16 take the leading number; 11, 13, 22 and the SMTP flags need a whole number.
TEST(SettingFileTest, FlagLinesFollowTheirOwnNumberRule) {
  struct Case {
    const char* text;
    int16_t leading;
    int16_t whole;
  };
  const std::vector<Case> cases = {
      {"1", 1, 1},   {"1abc", 1, 0},  {" 1 ", 1, 1},           {"2.5", 2, 2},
      {"3.5", 4, 4}, {"-1", -1, -1},  {"-2.5x", -2, 0},        {"abc", 0, 0},
      {"", 0, 0},    {"70000", 0, 0}, {"32767", 32767, 32767}, {"-32768", -32768, -32768},
      {"1e3", 1, 0},
  };
  const std::vector<std::pair<size_t, int16_t Settings::*>> leadingLines = {
      {6, &Settings::Enable_log}, {7, &Settings::KillProc}, {16, &Settings::Enable_alert}};
  const std::vector<std::pair<size_t, int16_t Settings::*>> wholeLines = {
      {11, &Settings::Enable_sound}, {13, &Settings::soundOn}, {22, &Settings::schAlert}};
  const std::vector<std::pair<size_t, int16_t Settings::*>> wholeSmtpLines = {
      {1, &Settings::Enable_SMTP}, {7, &Settings::alive_Email}};

  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("line text \"") + c.text + "\"");
    for (const auto& [line, field] : leadingLines) {
      EXPECT_EQ(ParsedSetting(SettingFileOf({{line, c.text}})).*field, c.leading) << line;
    }
    for (const auto& [line, field] : wholeLines) {
      EXPECT_EQ(ParsedSetting(SettingFileOf({{line, c.text}})).*field, c.whole) << line;
    }
    for (const auto& [line, field] : wholeSmtpLines) {
      Settings s;
      ParseSmtpFile(SmtpFileOf({{line, c.text}}), s);
      EXPECT_EQ(s.*field, c.whole) << "smtpsvr.ini line " << line;
    }
  }
}

TEST(SettingFileTest, KilloptAcceptsTrueFalseInAnyCaseOrANumber) {
  struct Case {
    const char* text;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"True", true}, {"TRUE", true}, {" true ", true}, {"false", false}, {"FaLsE", false},
      {"0", false},   {"-1", true},   {"7", true},      {"0.5", true},    {"yes", false},
      {"", false},    {"1x", false},  {"truee", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParsedSetting(SettingFileOf({{9, c.text}})).Killopt, c.expected) << c.text;
  }
}

TEST(SettingFileTest, AliveMinutesAreAtLeastOneAndFit16Bits) {
  struct Case {
    const char* text;
    int16_t minutes;
    const char* kept;
  };
  const std::vector<Case> cases = {
      {"0", 1, "1"},     {"abc", 1, "1"},           {"", 1, "1"},
      {"-5", 1, "1"},    {"99999", 1, "1"},         {"0.4", 1, "1"},
      {"90", 90, "90"},  {" 90 ", 90, "90"},        {"90 min", 90, "90 min"},
      {"2.5", 2, "2.5"}, {"32767", 32767, "32767"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Settings s;
    EXPECT_EQ(ParseSmtpFile(SmtpFileOf({{8, c.text}}), s), c.minutes);
    EXPECT_EQ(s.min_Select, c.kept);
  }
}

TEST(SettingFileTest, MissingLinesReadAsEmptyLines) {
  const Settings s = ParsedSetting("10\r\n90\r\n");
  EXPECT_EQ(s.TimeInterval, "10");
  EXPECT_EQ(s.cpu_High, "90");
  EXPECT_EQ(s.mem_High, "80");
  EXPECT_EQ(s.num_High, "60");
  EXPECT_EQ(s.smsTo, "");

  Settings smtp;
  EXPECT_EQ(ParseSmtpFile("1\nsmtp.example.com", smtp), 1);
  EXPECT_EQ(smtp.Enable_SMTP, 1);
  EXPECT_EQ(smtp.mailSvr, "smtp.example.com");
  EXPECT_EQ(smtp.min_Select, "1");
  EXPECT_EQ(smtp.mailTo1, "");
}

TEST(SettingFileTest, CrLfLfAndCrOnlyFilesReadAlike) {
  const std::map<size_t, std::string> lines = {{1, "7"},    {5, "host"},    {6, "1"},
                                               {9, "True"}, {18, "badbfc"}, {24, "20"}};
  const std::vector<std::string> expected = Describe(ParsedSetting(SettingFileOf(lines)));
  for (std::string_view lineEnd : {"\n", "\r"}) {
    EXPECT_EQ(Describe(ParsedSetting(FileOfLines(24, lines, lineEnd))), expected)
        << (lineEnd == "\n" ? "LF" : "CR");
  }
  // Lines past the last one are ignored.
  EXPECT_EQ(Describe(ParsedSetting(SettingFileOf(lines) + "extra\r\nlines\r\n")), expected);
}

TEST(SettingFileTest, WrittenLinesAreTrimmedFlagsDecimalAndPasswordsScrambled) {
  Settings s = FilledSettings();
  s.Killopt = false;
  const std::vector<std::string> lines = SplitLines(FormatSettingFile(s));
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[0], "10");
  EXPECT_EQ(lines[2], "\t70");  // a tab is no blank to trim; the number still reads as 70
  EXPECT_EQ(lines[4], "web-01 (rack 3)");
  EXPECT_EQ(lines[6], "-1");
  EXPECT_EQ(lines[8], "False");
  // The scrambled password loses the final blank of its last pair.
  std::string password = EncodeText("", " s3cret pass ");
  password.pop_back();
  EXPECT_EQ(lines[17], password);
  EXPECT_TRUE(EndsWith(FormatSettingFile(s), "19\r\n"));

  const std::string smtp = FormatSmtpFile(s);
  EXPECT_TRUE(StartsWith(smtp, "1\r\nsmtp.example.com\r\n587\r\n"));
  EXPECT_EQ(SplitLines(smtp).size(), 9u);
}

TEST(SettingFileTest, LineBreaksInsideValuesNeverShiftTheFollowingLines) {
  Settings s = FilledSettings();
  s.host_Name = "web\r\n01";
  s.num_Kill = "5\r";
  s.smsPassword = "pass\nword";
  s.mailSvr = "\nsmtp.example.com";
  const std::string text = FormatSettingFile(s);
  ASSERT_EQ(SplitLines(text).size(), 24u);
  Settings back;
  ParseSettingFile(text, back);
  EXPECT_EQ(back.host_Name, "web  01");
  EXPECT_EQ(back.num_Kill, "5");
  EXPECT_EQ(back.smsPassword, "pass word");
  EXPECT_EQ(back.smsTo, "19");

  ASSERT_EQ(SplitLines(FormatSmtpFile(s)).size(), 9u);
  Settings smtp;
  ParseSmtpFile(FormatSmtpFile(s), smtp);
  EXPECT_EQ(smtp.mailSvr, "smtp.example.com");
  EXPECT_EQ(smtp.mailTo1, "admin@example.com");
}

TEST(SettingFileTest, BinaryHugeAndMalformedLinesLoadByTheRules) {
  const std::string binary("\x00\x01\xfe\xff key\x00", 9);
  const std::string megabyteOfDigits(1 << 20, '9');
  const std::string megabyteOfText(1 << 20, '\xe9');
  const Settings s = ParsedSetting(SettingFileOf({
      {1, binary},
      {2, megabyteOfDigits},
      {5, binary},
      {6, megabyteOfDigits},  // far past 16 bits
      {7, "-3xyz"},
      {9, binary},
      {10, megabyteOfText},
      {11, "-99999999999999999999"},
      {13, "12abc"},
      {16, "+4.5e7"},
      {18, binary + megabyteOfText},
      {22, std::string("\x00"
                       "1",
                       2)},
  }));
  EXPECT_EQ(s.TimeInterval, binary);
  EXPECT_EQ(s.cpu_High, megabyteOfDigits);
  EXPECT_EQ(s.host_Name, std::string("\x00\x01\xfe\xff key\x00", 9));
  EXPECT_EQ(s.Enable_log, 0);
  EXPECT_EQ(s.KillProc, -3);
  EXPECT_FALSE(s.Killopt);
  EXPECT_EQ(s.PnameList, megabyteOfText);
  EXPECT_EQ(s.Enable_sound, 0);
  EXPECT_EQ(s.soundOn, 0);
  EXPECT_EQ(s.Enable_alert, 4);
  EXPECT_EQ(s.smsPassword.size(), (binary.size() + megabyteOfText.size()) / 2);
  EXPECT_EQ(s.schAlert, 0);
  EXPECT_EQ(CycleSeconds(s.TimeInterval), kSafeCycleSeconds);

  Settings smtp;
  EXPECT_EQ(
      ParseSmtpFile(SmtpFileOf({{1, binary}, {6, megabyteOfText}, {8, megabyteOfDigits}}), smtp),
      1);
  EXPECT_EQ(smtp.Enable_SMTP, 0);
  EXPECT_EQ(smtp.min_Select, "1");
}

TEST(SettingFileTest, CycleSecondsNeedsAWhole16BitNumber) {
  struct Case {
    const char* text;
    int16_t seconds;
  };
  const std::vector<Case> cases = {
      {"5", 5},
      {" 30 ", 30},
      {"abc", kSafeCycleSeconds},
      {"70000", kSafeCycleSeconds},
      {"0", 0},
      {"-3", -3},
      {"2.5", 2},
      {"3.5", 4},
      {"", kSafeCycleSeconds},
      {"10s", kSafeCycleSeconds},
  };
  for (const Case& c : cases) EXPECT_EQ(CycleSeconds(c.text), c.seconds) << c.text;
}

TEST(SettingFileTest, StatusCaptionsShowTheRuleAsTyped) {
  Settings s;
  s.TimeInterval = "5";
  s.cpu_High = "85";
  s.mem_High = "85";
  s.num_High = "10";
  const StatusCaptions captions = MakeStatusCaptions(s);
  EXPECT_EQ(captions.lblTimeinterval, "Monitor cycle on every 5 seconds");
  EXPECT_EQ(captions.lblNum, "Send alert on 10 consecutive usage exceed threshold");
  EXPECT_EQ(captions.lblNum_count, "/10");
  EXPECT_EQ(captions.lbl_Threshold[0], "85%");
  EXPECT_EQ(captions.lbl_Threshold[1], "85%");
}

}  // namespace
}  // namespace tarnwick
