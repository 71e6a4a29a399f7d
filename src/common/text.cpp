#include "common/text.h"

namespace tarnwick {

namespace {

std::string_view TrimOf(std::string_view text, std::string_view blanks) {
  const size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return text.substr(text.size());
  const size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

bool SteersTheText(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

size_t Utf8Sequence(std::string_view text, size_t at, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (next & 0x3Fu);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

bool IsWellFormedUtf8(std::string_view text) {
  char32_t codePoint = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8Sequence(text, at, codePoint);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string PrintableText(std::string_view text, std::string_view replacement) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    char32_t c = 0;
    const size_t length = Utf8Sequence(text, at, c);
    if (length == 0 || SteersTheText(c)) {
      out.append(replacement);
      at += length == 0 ? 1 : length;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

std::string OneLineText(std::string_view text) {
  std::string blanked(text);
  for (char& c : blanked) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return PrintableText(blanked);
}

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
