#include "engine/history_tally.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

// A sample of process `pid`, started at tick 1000 + pid unless given.
TopSample S(const std::string& name, int pid, uint64_t startTicks = 0) {
  return TopSample{name, pid, startTicks != 0 ? startTicks : 1000 + static_cast<uint64_t>(pid)};
}

TEST(HistoryTally, CountsWholeNamesInTheOrderTheyFirstLed) {
  const struct {
    const char* what;
    TopHistory history;
    const char* tally;
    const char* top;
    int max;
  } cases[] = {
      {"most often first",
       {S("a.exe", 1), S("b.exe", 2), S("a.exe", 1)},
       "*a.exe(2),b.exe(1)",
       "a.exe",
       2},
      {"a tie goes to the first name",
       {S("b.exe", 2), S("a.exe", 1), S("a.exe", 1), S("b.exe", 2)},
       "*b.exe(2),a.exe(2)",
       "b.exe",
       2},
      {"one each", {S("b.exe", 2), S("a.exe", 1)}, "*b.exe(1),a.exe(1)", "b.exe", 1},
      {"a name inside another counts only itself",
       {S("a.exe", 1), S("xa.exe", 2), S("xa.exe", 2)},
       "*xa.exe(2),a.exe(1)",
       "xa.exe",
       2},
      {"short names are names", {S("sh", 1), S("ls", 2), S("ls", 2)}, "*ls(2),sh(1)", "ls", 2},
      {"case tells names apart", {S("A.exe", 1), S("a.exe", 2)}, "*A.exe(1),a.exe(1)", "A.exe", 1},
      {"samples without a top process take no part",
       {S("", 0), S("a", 1), S("", 0), S("", 0)},
       "*a(1)",
       "a",
       1},
      {"nothing led", {S("", 0), S("", 0)}, "", "", 0},
      {"empty", {}, "", "", 0},
      // A name cannot split its entry or pose as the chosen one.
      {"separators in names",
       {S("victim,zzz", 1), S("victim", 2), S("victim,zzz", 1), S("*x(9)", 3)},
       "*victim_zzz(2),victim(1),_x_9_(1)",
       "victim,zzz",
       2},
      {"names differing only in separators stay apart",
       {S("a,b", 1), S("a(b", 2), S("a(b", 2)},
       "*a_b(2),a_b(1)",
       "a(b",
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const HistoryTally t = TallyHistory(c.history);
    EXPECT_EQ(t.text, c.tally);
    EXPECT_EQ(t.top, c.top);
    EXPECT_EQ(t.max, c.max);
  }
}

TEST(HistoryTally, ChoosesTheProcessOfTheTopNameThatLedMostOften) {
  const struct {
    const char* what;
    TopHistory history;
    TopSample chosen;
    int chosenCount;
  } cases[] = {
      {"the hog, not its idle namesake of another user",
       {S("victim", 10), S("victim", 20), S("victim", 20), S("victim", 20)},
       S("victim", 20),
       3},
      {"equal counts: the latest to lead",
       {S("w", 10), S("w", 20), S("w", 20), S("w", 10)},
       S("w", 10),
       2},
      {"a reused pid is another process",
       {S("w", 10, 5), S("w", 10, 6), S("w", 10, 6), S("x", 3)},
       S("w", 10, 6),
       2},
      {"only processes of the chosen name count",
       {S("a", 1), S("b", 2), S("b", 2), S("b", 2), S("a", 4), S("a", 5), S("a", 6)},
       S("a", 6),
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const HistoryTally t = TallyHistory(c.history);
    EXPECT_EQ(t.chosen.name, c.chosen.name);
    EXPECT_EQ(t.chosen.pid, c.chosen.pid);
    EXPECT_EQ(t.chosen.startTicks, c.chosen.startTicks);
    EXPECT_EQ(t.chosenCount, c.chosenCount);
  }
}

}  // namespace
}  // namespace tarnwick
