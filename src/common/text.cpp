#include "common/text.h"

namespace tarnwick {

namespace {

std::string_view TrimOf(std::string_view text, std::string_view blanks) {
  const size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return text.substr(text.size());
  const size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

}  // namespace

std::string_view Trim(std::string_view text) {
  return TrimOf(text, " ");
}

std::string_view TrimSpacesAndTabs(std::string_view text) {
  return TrimOf(text, " \t");
}

std::string TrimCopy(std::string_view text) {
  return std::string(Trim(text));
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(from, pos);
    if (from.empty() || hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string Left(std::string_view text, size_t count) {
  return std::string(text.substr(0, count));
}

std::vector<std::string> SplitLines(std::string_view content) {
  std::vector<std::string> lines;
  std::string current;
  bool pending = false;
  for (size_t i = 0; i < content.size(); ++i) {
    char c = content[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      pending = false;
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      current.push_back(c);
      pending = true;
    }
  }
  if (pending) lines.push_back(std::move(current));
  return lines;
}

}  // namespace tarnwick
