#include "process/history_tally.h"

#include "common/text.h"

namespace tarnwick {

HistoryTally TallyHistory(const std::string& history) {
  HistoryTally result;
  std::string h = history;
  if (!h.empty() && h.front() == ',') h.erase(0, 1);
  std::string tally;
  while (true) {
    const size_t comma = h.find(',');
    if (comma == std::string::npos) break;
    std::string name = h.substr(0, comma);
    h = h.substr(comma + 1);
    int count = 1;
    while (!h.empty()) {
      const size_t hit = h.find(name);
      if (hit == std::string::npos) break;
      // The match goes together with the one character after it (its comma).
      h.erase(hit, std::min(name.size() + 1, h.size() - hit));
      ++count;
    }
    tally += name + "(" + std::to_string(count) + "),";
    if (count > result.max) {
      result.max = count;
      result.top = name;
    }
  }
  if (h.size() > 2) tally += h + "(1)";
  if (!tally.empty() && tally.back() == ',') tally.pop_back();
  const std::string marker = result.top + "(" + std::to_string(result.max) + ")";
  const size_t at = tally.find(marker);
  if (at != std::string::npos) {
    tally.erase(at, std::min(marker.size() + 1, tally.size() - at));
    tally = "*" + marker + "," + tally;
    if (!tally.empty() && tally.back() == ',') tally.pop_back();
  }
  result.text = tally;
  return result;
}

}  // namespace tarnwick
