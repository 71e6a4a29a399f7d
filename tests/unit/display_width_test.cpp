// Terminal columns of UTF-8 text: the tables printed for a terminal line up only when a wide
// character counts two, a combining mark none, and a cut never splits a character.
#include "common/display_width.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"

namespace tarnwick {
namespace {

TEST(DisplayWidth, CountsColumnsNotBytes) {
  const struct {
    std::string text;
    size_t columns;
  } cases[] = {
      {"", 0},
      {"postgres", 8},
      {"Straße", 6},        // ß: two bytes, one column
      {"Ünïcödé", 7},       // precomposed letters
      {"Cafe\u0301", 4},    // e + U+0301 combining acute
      {"a\u200Bb", 2},      // zero width space
      {"\uFEFFx", 1},       // zero width no-break space
      {"数据库", 6},        // CJK ideographs
      {"ｆｕｌｌ", 8},      // fullwidth Latin
      {"한국어", 6},        // Hangul syllables
      {"カタカナ", 8},      // katakana
      {"ｶﾀｶﾅ", 4},          // halfwidth katakana stay narrow
      {"🔥fire", 6},         // emoji shown as a picture
      {"€→✓", 3},           // narrow symbols
      {"\x9Bx\xC3", 3},     // stray bytes: one column each
      {"\xE0\x80\xAF", 3},  // overlong form: three stray bytes
  };
  for (const auto& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.columns) << c.text;
}

TEST(DisplayWidth, CutsAtACharacterWithTheMarkAndPadsToTheColumn) {
  const struct {
    std::string text;
    size_t columns;
    std::string fitted;
  } cases[] = {
      {"short", 8, "short"},
      {"exactly8", 8, "exactly8"},
      {"nine-long", 8, "nine-lo…"},
      {"Straßenbahn", 6, "Straß…"},
      {"数据库服务", 6, "数据…"},  // a wide character that would end past the column is left out
      {"数据库服务", 7, "数据库…"},
      {"e\u0301e\u0301e\u0301", 2, "e\u0301…"},  // the mark stays with its letter
      {"anything", 1, "…"},
      {"anything", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " in " + std::to_string(c.columns));
    const std::string fitted = FitToWidth(c.text, c.columns);
    EXPECT_EQ(fitted, c.fitted);
    EXPECT_TRUE(IsWellFormedUtf8(fitted));
    EXPECT_LE(DisplayWidth(fitted), c.columns);
    const std::string padded = PadToWidth(fitted, c.columns);
    EXPECT_EQ(DisplayWidth(padded), c.columns);
    EXPECT_EQ(padded.substr(0, fitted.size()), fitted);
  }
  EXPECT_EQ(PadToWidth("too wide", 3), "too wide") << "padding never cuts";
}

}  // namespace
}  // namespace tarnwick
