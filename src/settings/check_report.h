// How the checks of a settings Save speak to whoever runs them, and the number rules they share.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "common/numbers.h"
#include "settings/program_settings.h"

namespace tarnwick {

// How a Save's checks speak to whoever runs them: a dialog shows each message in a box titled
// "Tarnwick"; the command line prints it with the setting's name.
class ISettingCheckReport {
 public:
  virtual ~ISettingCheckReport() = default;
  // A check refused the Save because of `setting` (its name in the file, "cpu_High").
  virtual void Refuse(std::string_view setting, const std::string& message) = 0;
  // A question with Yes and No buttons about `setting`; true for Yes, which lets the Save go on.
  virtual bool Ask(std::string_view setting, const std::string& message) = 0;
};

// A number as read from a box is a whole number from `least` to `most`; no number is not.
inline bool IsWholeNumberFromTo(std::optional<double> number, double least, double most) {
  return number && *number == std::floor(*number) && *number >= least && *number <= most;
}

// The trimmed text is a whole number from `least` to `most`: "12.0" is one; "12.5", "", "9o"
// and "abc" are not.
inline bool IsWholeTextFromTo(std::string_view text, double least, double most) {
  return IsWholeNumberFromTo(WholeTextNumber(text), least, most);
}

// The text is a number above `above` and at most `most`, fraction allowed, with "." or "," as
// the decimal point.
inline bool IsProgramNumberAboveUpTo(std::string_view text, double above, double most) {
  const std::optional<double> number = ReadProgramNumber(text);
  return number && *number > above && *number <= most;
}

}  // namespace tarnwick
