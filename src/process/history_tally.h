// Counting the top-process history of a watch.
#pragma once

#include <string>

namespace tarnwick {

struct HistoryTally {
  std::string text;  // "*a.exe(2),b.exe(1)": the chosen name first, marked with "*"
  std::string top;   // the name that was top most often (the first of equal counts)
  int max = 0;       // how often it was top
};

// Tallies a history in either form ("a,b,a," or ",a,b,a"). A name counts every later occurrence
// of itself as a plain substring, so "a.exe" also counts inside "xa.exe"; a rest of one or two
// characters after the last comma is dropped.
HistoryTally TallyHistory(const std::string& history);

}  // namespace tarnwick
