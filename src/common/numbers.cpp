#include "common/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/text.h"

namespace tarnwick {
namespace {

// Scans a decimal number at the start of `s`; returns how many characters it spans (0 when there
// is no digit) and its value.
size_t ScanNumber(std::string_view s, double& value) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  const size_t start = i;
  bool digits = false;
  bool wholeAboveZero = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    wholeAboveZero = wholeAboveZero || s[i] != '0';
    digits = true;
    ++i;
  }
  size_t end = digits ? i : 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (digits) end = i;  // "12." is 12
    bool fractionDigits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      fractionDigits = true;
      ++i;
    }
    if (fractionDigits) {
      digits = true;
      end = i;
    }
  }
  if (!digits) return 0;
  // The digits are converted in one go, correctly rounded: summing them one by one drifts in the
  // last place, and a saved number would then read back as a different one.
  double whole = 0;
  const char* first = s.data() + start;
  const char* last = s.data() + end;
  const auto [stop, error] = std::from_chars(first, last, whole, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // A run of digits too long for a double (309 and more) is no number at all, or a threshold
    // would compare as never reached and be saved back as 0. A fraction too small for one is 0.
    if (wholeAboveZero) return 0;
    whole = 0;
  } else if (error != std::errc() || stop != last) {
    return 0;
  }
  value = negative ? -whole : whole;
  return end;
}

}  // namespace

double LeadingNumber(std::string_view text) {
  double value = 0;
  return ScanNumber(TrimSpacesAndTabs(text), value) > 0 ? value : 0;
}

std::optional<double> WholeTextNumber(std::string_view text) {
  std::string_view t = TrimSpacesAndTabs(text);
  double value = 0;
  size_t used = ScanNumber(t, value);
  if (used == 0 || used != t.size()) return std::nullopt;
  return value;
}

double RoundHalfEven(double value) {
  return RoundHalfEvenTo(value, 0);
}

double RoundHalfEvenTo(double value, int decimals) {
  // Beyond 15 decimals a double holds no further digit to round.
  if (!std::isfinite(value) || decimals > 15) return value;
  const double scale = std::pow(10.0, decimals);
  const double y = value * scale;
  const double lower = std::floor(y);
  const double distance = y - lower;
  // A few units of the last place: 12.45 * 10 is 124.49999999999999 and still a tie.
  const double tolerance = 8 * std::numeric_limits<double>::epsilon() * std::max(1.0, std::fabs(y));
  double rounded;
  if (std::fabs(distance - 0.5) <= tolerance) {
    rounded = std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
  } else {
    rounded = distance < 0.5 ? lower : lower + 1;
  }
  return rounded / scale;
}

std::optional<int16_t> ToInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double r = RoundHalfEven(value);
  if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int16_t>(r);
}

std::optional<int16_t> TextToInt16(std::string_view text) {
  auto number = WholeTextNumber(text);
  if (!number) return std::nullopt;
  return ToInt16(*number);
}

std::string ShortestForm(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";
  if (std::fabs(value) < 1e15 && value == std::floor(value)) {
    return IntText(static_cast<int64_t>(value));
  }
  // Large enough for the fixed form of any double (up to 309 digits before the point).
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::string text = buffer;
  if (text.find('e') != std::string::npos) {
    std::snprintf(buffer, sizeof buffer, "%.10f", value);
    text = buffer;
    if (text.find('.') != std::string::npos) {
      while (!text.empty() && text.back() == '0') text.pop_back();
      if (!text.empty() && text.back() == '.') text.pop_back();
    }
  }
  if (text == "-0") text = "0";
  return text;
}

std::string OneDecimal(double value) {
  // Large enough for the fixed form of any double (up to 309 digits before the point).
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

std::string IntText(int64_t value) {
  return std::to_string(value);
}

}  // namespace tarnwick
