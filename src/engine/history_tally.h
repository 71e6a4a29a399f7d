// Counting the top-process history of a watch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "results/top_sample.h"

namespace tarnwick {

struct HistoryTally {
  std::string text;  // "*a.exe(2),b.exe(1)": the chosen name first, marked with "*"
  std::string top;   // the name that was top most often (the first of equal counts)
  int max = 0;       // how often a process of that name was top
  // Of the processes named `top`, the one that was top most often (the latest of equal ones):
  // the one to terminate, and how often it was top itself.
  TopSample chosen;
  int chosenCount = 0;
};

// Tallies a history by whole names, in the order they first occur; samples without a top
// process take no part. The text shows every name with the characters that structure it
// ("," "*" "(" ")") replaced by "_", so a name can neither split nor mark an entry.
HistoryTally TallyHistory(const TopHistory& history);

// A name as the tally text shows it.
std::string TallyName(std::string_view name);

}  // namespace tarnwick
