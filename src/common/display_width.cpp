#include "common/display_width.h"

#include <algorithm>
#include <iterator>

#include "common/text.h"

namespace tarnwick {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Combining marks and characters that take no column (sorted). Not the whole of Unicode's
// tables: the blocks a process or host name is likely to hold.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF},   {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F},   {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED},   {0x0900, 0x0902},
    {0x093A, 0x093A}, {0x093C, 0x093C}, {0x0941, 0x0948}, {0x094D, 0x094D},   {0x0951, 0x0957},
    {0x0962, 0x0963}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},   {0x1160, 0x11FF},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x202A, 0x202E},   {0x2060, 0x2064},
    {0x2066, 0x206F}, {0x20D0, 0x20FF}, {0x302A, 0x302D}, {0x3099, 0x309A},   {0xD7B0, 0xD7FF},
    {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0001, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, and emoji shown as pictures (sorted).
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool InRanges(const Range (&ranges)[N], char32_t c) {
  const auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                   [](char32_t value, const Range& r) { return value < r.first; });
  return it != std::begin(ranges) && c <= std::prev(it)->last;
}

// The length and columns of the character at text[at]; a stray byte is one of each.
size_t NextCharacter(std::string_view text, size_t at, size_t& columns) {
  char32_t c = 0;
  const size_t length = Utf8Sequence(text, at, c);
  if (length == 0) {
    columns = 1;
    return 1;
  }
  columns = static_cast<size_t>(CodePointWidth(c));
  return length;
}

}  // namespace

int CodePointWidth(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
  if (c < 0x300) return 1;
  if (InRanges(kZeroWidth, c)) return 0;
  return InRanges(kWide, c) ? 2 : 1;
}

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t at = 0; at < text.size();) {
    size_t columns = 0;
    at += NextCharacter(text, at, columns);
    width += columns;
  }
  return width;
}

std::string FitToWidth(std::string_view text, size_t columns) {
  if (DisplayWidth(text) <= columns) return std::string(text);
  if (columns == 0) return {};
  const size_t room = columns - DisplayWidth(kCutMark);
  size_t width = 0;
  size_t end = 0;
  while (end < text.size()) {
    size_t next = 0;
    const size_t length = NextCharacter(text, end, next);
    if (width + next > room) break;
    width += next;
    end += length;
  }
  std::string out(text.substr(0, end));
  out += kCutMark;
  return out;
}

std::string PadToWidth(std::string_view text, size_t columns) {
  std::string out(text);
  const size_t width = DisplayWidth(text);
  if (width < columns) out.append(columns - width, ' ');
  return out;
}

}  // namespace tarnwick
