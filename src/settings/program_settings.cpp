#include "settings/program_settings.h"

#include <cmath>
#include <vector>

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {
namespace {

constexpr size_t kLineCount = 8;

// What an empty line reads as.
constexpr int16_t kEmptyThreshold = 60;
constexpr int16_t kEmptyAlertNumber = 10;
// What a missing file gives.
constexpr int16_t kMissingThreshold = 60;
constexpr int16_t kMissingAlertNumber = 5;

constexpr std::string_view kExampleBase = "firefox";
constexpr std::string_view kExampleTail = " (*example)";

// A 16-bit number line: empty gives the fallback, a bad line keeps the value.
void ReadInt16Line(const std::string& line, int16_t fallback, int16_t& value) {
  if (line.empty()) {
    value = fallback;
    return;
  }
  const std::optional<double> number = ReadProgramNumber(line);
  if (!number) return;
  if (const std::optional<int16_t> whole = ToInt16(*number)) value = *whole;
}

void ReadDoubleLine(const std::string& line, double fallback, double& value) {
  if (line.empty()) {
    value = fallback;
    return;
  }
  if (const std::optional<double> number = ReadProgramNumber(line)) value = *number;
}

// A text never holds a line end in the file, or every line after it would shift.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

std::string ExampleProgramName(std::string_view executableSuffix) {
  return std::string(kExampleBase) + std::string(executableSuffix) + std::string(kExampleTail);
}

void ApplyMissingFileDefaults(ProgramSettings& settings, std::string_view executableSuffix,
                              const std::string& defaultSoundFile) {
  settings.pgmMonitorF = 0;
  settings.pgmNameF = ExampleProgramName(executableSuffix);
  settings.pgmCPUsetF = kMissingThreshold;
  settings.pgmMEMsetF = kMissingThreshold;
  settings.pgmAlertSetF = kMissingAlertNumber;
  settings.pgmKillF = 0;
  settings.pgmFileSoundF = defaultSoundFile;
}

std::string ProgramNumberText(double value) {
  const std::string magnitude = ShortestForm(std::fabs(value));
  // A value too small to show any digit is written as 0, without a sign: "-0" would read back
  // as another number than the one written.
  const bool negative = std::signbit(value) && magnitude != "0";
  // A whole string first: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  return std::string(negative ? "-" : " ") + magnitude + " ";
}

std::optional<double> ReadProgramNumber(std::string_view text) {
  // Files written where the decimal separator is a comma read the same.
  return WholeTextNumber(ReplaceAll(text, ",", "."));
}

void ParseProgramSettingFile(std::string_view content, ProgramSettings& settings) {
  std::vector<std::string> lines = SplitLines(content);
  lines.resize(kLineCount);
  ReadInt16Line(lines[0], 0, settings.pgmMonitorF);
  settings.pgmNameF = lines[1].empty() ? std::string() : ToLower(Trim(lines[1]));
  ReadInt16Line(lines[2], kEmptyThreshold, settings.pgmCPUsetF);
  ReadDoubleLine(lines[3], kEmptyThreshold, settings.pgmMEMsetF);
  ReadInt16Line(lines[4], kEmptyAlertNumber, settings.pgmAlertSetF);
  ReadInt16Line(lines[5], 0, settings.pgmKillF);
  ReadInt16Line(lines[6], 0, settings.pgmSoundF);
  settings.pgmFileSoundF = lines[7];
}

std::string FormatProgramSettingFile(const ProgramSettings& settings) {
  std::string out;
  for (const std::string& line : {
           ProgramNumberText(settings.pgmMonitorF),
           OneLine(settings.pgmNameF),
           ProgramNumberText(settings.pgmCPUsetF),
           ProgramNumberText(settings.pgmMEMsetF),
           ProgramNumberText(settings.pgmAlertSetF),
           ProgramNumberText(settings.pgmKillF),
           ProgramNumberText(settings.pgmSoundF),
           OneLine(settings.pgmFileSoundF),
       }) {
    out += line;
    out += kCrLf;
  }
  return out;
}

}  // namespace tarnwick
