#include "delivery/text_from_bytes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tarnwick {
namespace {

struct Case {
  const char* name;
  std::string bytes;
  std::string text;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class TextFromBytesTest : public ::testing::TestWithParam<Case> {};

TEST_P(TextFromBytesTest, KeepsWellFormedUtf8AndDropsTheRest) {
  EXPECT_EQ(TextFromBytes(GetParam().bytes), GetParam().text);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Replies, TextFromBytesTest,
    ::testing::Values(
        Case{"LoginReplyStaysAsIs", "+OK *12*1-ab12cd% welcome", "+OK *12*1-ab12cd% welcome"},
        Case{"EmptyStaysEmpty", "", ""}, Case{"NulIsText", "a\0b"s, "a\0b"s},
        Case{"TwoThreeAndFourByteFormsKept", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
             "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        Case{"HighestCodePointKept", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        Case{"StrayContinuationDropped",
             "*1\x80"
             "2*",
             "*12*"},
        Case{"BytesThatNeverStartASequenceDropped", "a\xFF\xFE\xF5z", "az"},
        Case{"LeadWithoutContinuationDropped", "a\xC3z", "az"},
        // The byte that breaks a sequence is read again, so the ASCII after it survives.
        Case{"BrokenSequenceKeepsTheByteAfterIt",
             "\xE2\x82"
             "A\xE2\x82\xAC",
             "A\xE2\x82\xAC"},
        Case{"TruncatedAtTheEndDropped", "OK\xF0\x9F\x98", "OK"},
        Case{"OverlongFormsDropped", "\xC0\xAF\xC1\xBF\xE0\x80\xAF\xF0\x80\x80\xAF", ""},
        Case{"SurrogatesDropped", "x\xED\xA0\x80y\xED\xBF\xBFz", "xyz"},
        Case{"AboveU10FFFFDropped", "\xF4\x90\x80\x80", ""},
        // Right next to the excluded ranges: the last code point before the surrogates.
        Case{"LastBeforeSurrogatesKept", "\xED\x9F\xBF", "\xED\x9F\xBF"}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// Whatever arrives, the conversion ends and its output is well-formed: converting again changes
// nothing.
TEST(TextFromBytes, AnyBytesGiveWellFormedText) {
  std::string all;
  for (int first = 0; first < 256; ++first) {
    for (int second : {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF}) {
      all.push_back(static_cast<char>(first));
      all.push_back(static_cast<char>(second));
      all.push_back(static_cast<char>(0x80));
    }
  }
  const std::string text = TextFromBytes(all);
  EXPECT_EQ(TextFromBytes(text), text);
  EXPECT_LT(text.size(), all.size());
}

}  // namespace
}  // namespace tarnwick
