#include "process/history_tally.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(HistoryTally, CountsBothHistoryFormsWithTheirSubstringQuirks) {
  const struct {
    const char* history;
    const char* tally;
    const char* top;
    int max;
  } cases[] = {
      {"a.exe,b.exe,a.exe,", "*a.exe(2),b.exe(1)", "a.exe", 2},
      {"b.exe,a.exe,a.exe,b.exe,", "*b.exe(2),a.exe(2)", "b.exe", 2},
      {"a.exe,b.exe", "*a.exe(1),b.exe(1)", "a.exe", 1},
      {",a.exe,b.exe,a.exe", "*a.exe(2),b.exe(1)", "a.exe", 2},
      {",b.exe,a.exe", "*b.exe(1),a.exe(1)", "b.exe", 1},
      {"a.exe,xa.exe,", "*a.exe(2)", "a.exe", 2},
      {"", "", "", 0},
      // Rests of one or two characters after the last comma are dropped.
      {"a.exe,xy", "*a.exe(1)", "a.exe", 1},
      {"a.exe,x", "*a.exe(1)", "a.exe", 1},
      {"a.exe,xyz", "*a.exe(1),xyz(1)", "a.exe", 1},
      // Names keep their case: the search is case-sensitive.
      {"A.exe,a.exe,", "*A.exe(1),a.exe(1)", "A.exe", 1},
      // Empty names (a cycle that found no process) are counted like any other.
      {",,", "*(1)", "", 1},
  };
  for (const auto& c : cases) {
    const HistoryTally t = TallyHistory(c.history);
    EXPECT_EQ(t.text, c.tally) << c.history;
    EXPECT_EQ(t.top, c.top) << c.history;
    EXPECT_EQ(t.max, c.max) << c.history;
  }
}

}  // namespace
}  // namespace tarnwick
