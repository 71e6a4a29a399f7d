#include "engine/history_tally.h"

#include <algorithm>
#include <map>
#include <utility>

namespace tarnwick {

std::string TallyName(std::string_view name) {
  std::string shown(name);
  for (char& c : shown) {
    if (c == ',' || c == '*' || c == '(' || c == ')') c = '_';
  }
  return shown;
}

HistoryTally TallyHistory(const TopHistory& history) {
  struct Count {
    const std::string* name;
    int count;
  };
  std::vector<Count> names;
  for (const TopSample& sample : history) {
    if (sample.name.empty()) continue;
    auto it = std::find_if(names.begin(), names.end(),
                           [&](const Count& c) { return *c.name == sample.name; });
    if (it == names.end()) {
      names.push_back({&sample.name, 1});
    } else {
      ++it->count;
    }
  }

  HistoryTally result;
  const Count* top = nullptr;
  for (const Count& c : names) {
    if (top == nullptr || c.count > top->count) top = &c;
  }
  if (top == nullptr) return result;
  result.top = *top->name;
  result.max = top->count;

  // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) for a
  // one-character literal joined to a string.
  auto add = [&result](char separator, const std::string& name, int count) {
    result.text += separator;
    result.text += TallyName(name);
    result.text += '(';
    result.text += std::to_string(count);
    result.text += ')';
  };
  add('*', result.top, result.max);
  for (const Count& c : names) {
    if (&c != top) add(',', *c.name, c.count);
  }

  // The process behind the name: a program may run several times, under several users.
  struct Seen {
    int count = 0;
    size_t last = 0;
  };
  std::map<std::pair<int, uint64_t>, Seen> processes;
  for (size_t i = 0; i < history.size(); ++i) {
    if (history[i].name != result.top) continue;
    Seen& seen = processes[{history[i].pid, history[i].startTicks}];
    ++seen.count;
    seen.last = i;
  }
  size_t chosenAt = 0;
  for (const auto& [identity, seen] : processes) {
    if (seen.count > result.chosenCount ||
        (seen.count == result.chosenCount && seen.last > chosenAt)) {
      result.chosenCount = seen.count;
      chosenAt = seen.last;
    }
  }
  result.chosen = history[chosenAt];
  return result;
}

}  // namespace tarnwick
