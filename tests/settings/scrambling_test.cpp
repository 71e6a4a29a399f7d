// The password scrambling of both files: its stored form, keys, and the bytes it must never write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace tarnwick {
namespace {

std::string Bytes(std::initializer_list<int> codes) {
  std::string out;
  for (int code : codes) out.push_back(static_cast<char>(static_cast<unsigned char>(code)));
  return out;
}

TEST(ScramblingTest, EmptyKeyStoresEachCharacterAfterItsCodePlusPosition) {
  EXPECT_EQ(EncodeText("", "abc"), "badbfc");
  EXPECT_EQ(DecodeText("", "badbfc"), "abc");
  EXPECT_EQ(EncodeText("", ""), "");
  EXPECT_EQ(DecodeText("", ""), "");
  // An odd-length text (its last byte trimmed away) decodes the complete pairs only.
  EXPECT_EQ(DecodeText("", "badbf"), "ab");
}

TEST(ScramblingTest, KeyOffsetShiftsEveryCodeAndShrinksLargeKeys) {
  struct Case {
    const char* key;
    const char* value;
    std::string stored;
  };
  const std::vector<Case> cases = {
      // "A": offset 65.
      {"A", "abc", Bytes({163, 162, 165, 163, 167, 164})},
      // "dd": 200, even, so a quarter: 50.
      {"dd", "ab", Bytes({148, 147, 150, 148})},
      // "e": 101, odd, so a third: 33.67; codes round to the nearest whole number.
      {"e", "a", Bytes({132, 131})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(EncodeText(c.key, c.value), c.stored);
    EXPECT_EQ(DecodeText(c.key, c.stored), c.value);
  }
}

TEST(ScramblingTest, CodesBeyondAByteBecomeStorablePaddingAndClampedCharacters) {
  // 255 at position 1 is 256 at the padding position: folded into 33..255.
  const std::string folded = EncodeText("", Bytes({255}));
  ASSERT_EQ(folded.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(folded[0]), 65);
  EXPECT_EQ(static_cast<unsigned char>(folded[1]), 255);
  // With a key the character itself can pass 255 and is clamped (240 + 65).
  EXPECT_EQ(EncodeText("A", Bytes({240})), Bytes({115, 255}));
}

TEST(ScramblingTest, LongPasswordRoundTripsWithoutLineBreakingBytes) {
  std::string password;
  for (int i = 0; i < 400; ++i) password.push_back(static_cast<char>('!' + i % 94));
  password += Bytes({200, 250, 255, 128});
  const std::string stored = EncodeText("", password);
  ASSERT_EQ(stored.size(), password.size() * 2);
  for (size_t i = 0; i < stored.size(); i += 2) {
    const auto code = static_cast<unsigned char>(stored[i]);
    EXPECT_GE(code, 33) << "padding byte " << i;
  }
  EXPECT_EQ(DecodeText("", stored), password);
}

TEST(ScramblingTest, PaddingNeverEndsOrBlanksTheLine) {
  // Control characters whose code plus position would be LF (9+1), CR (12+1), a tab (8+1) or a
  // space (31+1): any of them would break the line or be trimmed off its front.
  for (int code : {8, 9, 12, 31}) {
    SCOPED_TRACE(code);
    const std::string password = Bytes({code}) + "x";
    const std::string stored = EncodeText("", password);
    for (size_t i = 0; i < stored.size(); i += 2) {
      EXPECT_NE(stored[i], '\n');
      EXPECT_NE(stored[i], '\r');
      EXPECT_NE(stored[i], ' ');
      EXPECT_NE(stored[i], '\t');
    }
    EXPECT_EQ(DecodeText("", stored), password);
  }
}

}  // namespace
}  // namespace tarnwick
