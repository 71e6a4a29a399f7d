// Numbers as the program reads and writes them in settings, labels and log lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The longest leading decimal number of the text, surrounding blanks ignored: an optional sign,
// digits and an optional fraction ("12abc" is 12, " -3.5 " is -3.5). Text without one reads as 0,
// and so does one too large to be finite.
double LeadingNumber(std::string_view text);

// The text as a number only when the whole of it (surrounding blanks ignored) is one decimal
// number; nullopt otherwise, empty text and numbers too large to be finite included.
std::optional<double> WholeTextNumber(std::string_view text);

// Nearest whole number, halves to the even one (2.5 is 2, 3.5 is 4, -2.5 is -2).
double RoundHalfEven(double value);

// Nearest multiple of 10^-decimals, halves to the even digit (12.45 to one decimal is 12.4).
// Ties are recognised within a tiny tolerance, so 0.1-steps read from text round as written.
double RoundHalfEvenTo(double value, int decimals);

// Whole number that fits a signed 16-bit value, halves to even; nullopt when it does not fit or
// the input is not finite.
std::optional<int16_t> ToInt16(double value);

// Conversion of a setting text to a 16-bit whole number: the whole (trimmed) text must be a
// number. nullopt when it is not, or when it does not fit 16 bits.
std::optional<int16_t> TextToInt16(std::string_view text);

// Shortest form: no leading zeros, no trailing fraction zeros, no point for whole values
// (12, 12.5, -0.25). Non-finite values are written as 0.
std::string ShortestForm(double value);

// Fixed form with one digit after the point, as in tables and reports of shares and megabytes
// ("12.3", "0.0", "-1.5"); the digit is rounded from the value's exact binary form.
std::string OneDecimal(double value);

// Whole number text of a 64-bit value.
std::string IntText(int64_t value);

}  // namespace tarnwick
