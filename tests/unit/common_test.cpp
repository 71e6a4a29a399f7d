#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/mail_date.h"
#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"

namespace tarnwick {
namespace {

TEST(NumbersFromText, LeadingNumberTakesTheLongestDecimalPrefix) {
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"12", 12},
      {" 12 ", 12},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"-3.5x", -3.5},
      {"+7", 7},
      {"1.5.2", 1.5},
      {".5", 0.5},
      {"5.", 5},
      {"- 3", 0},
      {"08", 8},
      {"  \t9", 9},
      {"1e3", 1},
      // Too many digits for a double: infinity is no number.
      {"1" + std::string(309, '0') + "x", 0},
      {"-" + std::string(320, '9'), 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << c.text;
}

TEST(NumbersFromText, WholeTextNumberRefusesAnyRest) {
  EXPECT_EQ(WholeTextNumber(" 12 "), 12);
  EXPECT_EQ(WholeTextNumber("-2.5"), -2.5);
  EXPECT_FALSE(WholeTextNumber("12abc"));
  EXPECT_FALSE(WholeTextNumber(""));
  EXPECT_FALSE(WholeTextNumber("  "));
  EXPECT_FALSE(WholeTextNumber("."));
  EXPECT_EQ(WholeTextNumber("12."), 12);
  EXPECT_FALSE(WholeTextNumber(std::string(309, '9')));
  EXPECT_FALSE(WholeTextNumber(std::string(400, '9') + ".5"));
  EXPECT_FALSE(TextToInt16(std::string(309, '9')));
}

TEST(NumbersFromText, ReadsTheNearestDoubleSoASavedNumberReadsBackTheSame) {
  // Summing digit by digit read 999999999999999999 as 1000000000000000128, which saved and read
  // again became another number: a threshold changed with every save.
  for (const char* text : {"999999999999999999", "0.1", "1536.4", "123456789.123456789",
                           "0.000000000000000000000000001"}) {
    const std::optional<double> number = WholeTextNumber(text);
    ASSERT_TRUE(number) << text;
    EXPECT_EQ(*number, std::strtod(text, nullptr)) << text;
    const std::string saved = ShortestForm(*number);
    EXPECT_EQ(ShortestForm(WholeTextNumber(saved).value_or(-1)), saved) << text;
  }
}

TEST(NumbersFromText, SixteenBitConversionRoundsHalfEvenAndRefusesOverflow) {
  EXPECT_EQ(TextToInt16("2.5"), 2);
  EXPECT_EQ(TextToInt16("3.5"), 4);
  EXPECT_EQ(TextToInt16("-2.5"), -2);
  EXPECT_EQ(TextToInt16("32767"), 32767);
  EXPECT_FALSE(TextToInt16("32768"));
  EXPECT_EQ(TextToInt16("-32768"), -32768);
  EXPECT_FALSE(TextToInt16("-32769"));
  EXPECT_FALSE(TextToInt16("85%"));
  EXPECT_FALSE(ToInt16(NAN));
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    int decimals;
    double expected;
  } cases[] = {
      {0.5, 0, 0},
      {1.5, 0, 2},
      {2.5, 0, 2},
      {-1.5, 0, -2},
      {2.4999, 0, 2},
      {12.45, 1, 12.4},
      {12.55, 1, 12.6},
      {37.5, 1, 37.5},
      {18.75, 1, 18.8},
      {0.05, 1, 0},
      {1536.45, 1, 1536.4},
      {12.46, 1, 12.5},
      {-0.25, 1, -0.2},
      // Large values are ties only when they really end in a half.
      {1e9 + 1, 0, 1e9 + 1},
      {1e9 + 0.9, 0, 1e9 + 1},
      {1e9 + 0.5, 0, 1e9},
      {1.5, 400, 1.5},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(RoundHalfEvenTo(c.value, c.decimals), c.expected)
        << c.value << " to " << c.decimals;
  }
}

TEST(ShortestForm, DropsZerosAndThePointOfWholeValues) {
  EXPECT_EQ(ShortestForm(12), "12");
  EXPECT_EQ(ShortestForm(12.5), "12.5");
  EXPECT_EQ(ShortestForm(60.0), "60");
  EXPECT_EQ(ShortestForm(-0.25), "-0.25");
  EXPECT_EQ(ShortestForm(0), "0");
  EXPECT_EQ(ShortestForm(1536.4), "1536.4");
  EXPECT_EQ(ShortestForm(1e20), "100000000000000000000");
  EXPECT_EQ(ShortestForm(INFINITY), "0");
  EXPECT_EQ(ShortestForm(1e70).size(), 71u) << "all digits of the value, none cut";
  EXPECT_EQ(ShortestForm(-1e-20), "0");
}

TEST(TimeTexts, EveryFormIsZeroPadded) {
  const LocalTime t{2026, 3, 4, 5, 6, 7};
  EXPECT_EQ(HhMmSs(t), "05:06:07");
  EXPECT_EQ(HhMm(t), "05:06");
  EXPECT_EQ(MmDdHhMmSs(t), "03-04 05:06:07");
  EXPECT_EQ(YmdHms(t), "2026-03-04 05:06:07");
  EXPECT_EQ(HhMmSsYmd(t), "05:06:07 2026-03-04");
  EXPECT_EQ(Mmdd(t), "0304");
  EXPECT_EQ(YmdHms(LocalTime{999, 12, 31, 0, 10, 59}), "0999-12-31 00:10:59");
}

TEST(TimeTexts, SecondsBetweenTimesOfOneDayTurnNegativeAcrossMidnight) {
  EXPECT_EQ(SecondsBetween("10:14:57", "10:15:07"), 10);
  EXPECT_EQ(SecondsBetween("23:59:50", "00:00:20"), -86370);
  EXPECT_FALSE(SecondsBetween("", "00:00:20"));
  EXPECT_FALSE(SecondsBetween("1:2:3", "00:00:20"));
}

TEST(Text, TrimTakesSpacesOnlySoATabOfAValueStays) {
  const struct {
    const char* text;
    const char* trimmed;
  } cases[] = {
      {"  secret  ", "secret"},
      {"secret\t", "secret\t"},
      {"\tsecret", "\tsecret"},
      {" \t ", "\t"},
      {"   ", ""},
      {"", ""},
      {"a b", "a b"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimCopy(c.text), c.trimmed) << c.text;
  // Numbers still read past tabs around them.
  EXPECT_EQ(WholeTextNumber("\t12\t"), 12);
}

TEST(TimeTexts, MailDateNamesTheWeekdayAndSignsTheOffset) {
  struct Case {
    LocalTime local;
    int offset;
    const char* expected;
  };
  const Case cases[] = {
      {{1970, 1, 1, 0, 0, 0}, 0, "Thu, 01 Jan 1970 00:00:00 +0000"},
      {{2023, 11, 14, 23, 13, 20}, 60, "Tue, 14 Nov 2023 23:13:20 +0100"},
      {{2023, 11, 14, 17, 13, 20}, -300, "Tue, 14 Nov 2023 17:13:20 -0500"},
      {{2023, 11, 15, 3, 43, 20}, 330, "Wed, 15 Nov 2023 03:43:20 +0530"},
      {{2023, 11, 14, 19, 43, 20}, -210, "Tue, 14 Nov 2023 19:43:20 -0330"},
      {{2024, 2, 29, 12, 0, 0}, 0, "Thu, 29 Feb 2024 12:00:00 +0000"},
      {{2000, 3, 1, 0, 0, 0}, 0, "Wed, 01 Mar 2000 00:00:00 +0000"},
      {{2026, 12, 31, 23, 59, 59}, 840, "Thu, 31 Dec 2026 23:59:59 +1400"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MailDateText(c.local, c.offset), c.expected) << c.expected;
  }
}

TEST(Text, PrintableTextShowsEverySteeringCharacterAsTheReplacement) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"firefox", "firefox"},
      {"Tarnwück 日本 Ελλάδα", "Tarnwück 日本 Ελλάδα"},
      {"a\nb\rc\td", "a?b?c?d"},
      {"red\x1b[31mtext\x7f", "red?[31mtext?"},
      // C1 controls: U+0085 (next line) and U+009B (CSI) in UTF-8.
      {"a\xc2\x85"
       "b\xc2\x9b"
       "2J",
       "a?b?2J"},
      // Bidi marks, overrides and isolates: "exe.jpg" would read as "gpj.exe".
      {"\xe2\x80\xae"
       "gpj.exe",
       "?gpj.exe"},
      {"x\xe2\x80\xaa\xe2\x80\xac\xe2\x81\xa6\xe2\x81\xa9\xe2\x80\x8e\xe2\x80\x8f\xd8\x9c",
       "x???????"},
      // Line and paragraph separators.
      {"a\xe2\x80\xa8"
       "b\xe2\x80\xa9",
       "a?b?"},
      // Bytes that are no UTF-8: a lone CSI byte, a cut sequence, an overlong slash, a surrogate.
      {"a\x9b"
       "2J",
       "a?2J"},
      {"cut\xe6\x97", "cut??"},
      {"\xc0\xaf", "??"},
      {"\xed\xa0\x80", "???"},
      // U+00A0 and U+200B are shown characters, not controls.
      {"a\xc2\xa0"
       "b\xe2\x80\x8b",
       "a\xc2\xa0"
       "b\xe2\x80\x8b"},
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableText(c.text), c.shown) << c.text;
  EXPECT_EQ(PrintableText("a\nb", " "), "a b");
}

TEST(Text, SplitLinesKnowsEveryLineEnd) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
}

}  // namespace
}  // namespace tarnwick
