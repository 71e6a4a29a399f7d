// The program monitor's own settings and the file pgmsetting.ini that keeps them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kProgramSettingFileName = "pgmsetting.ini";
// The example name is recognised by this part; the dialog clears it at the first click.
inline constexpr std::string_view kExampleMarker = "*example";

// The eight settings, in the file's line order, named after the dialog controls that edit them.
struct ProgramSettings {
  int16_t pgmMonitorF = 0;    // 1: the program monitor runs
  std::string pgmNameF;       // executable name, trimmed and lower case ("firefox")
  int16_t pgmCPUsetF = 0;     // CPU threshold, percent of the whole machine
  double pgmMEMsetF = 0;      // memory threshold, percent of physical memory
  int16_t pgmAlertSetF = 0;   // consecutive samples at or above a threshold that raise an alert
  int16_t pgmKillF = 0;       // 1: terminate the program at an alert
  int16_t pgmSoundF = 0;      // 1: play the sound at every exceeding sample
  std::string pgmFileSoundF;  // WAV file of that sound
};

// The name offered while no program has been chosen: "firefox" + suffix + " (*example)". It never
// matches a process.
std::string ExampleProgramName(std::string_view executableSuffix);

// The values of a missing file, for a program whose folder and suffix are given. pgmSoundF is not
// part of them: a missing file leaves it as it was.
void ApplyMissingFileDefaults(ProgramSettings& settings, std::string_view executableSuffix,
                              const std::string& defaultSoundFile);

// A number as the file writes it: a blank for the sign of a number that is not negative ("-"
// otherwise), the shortest form with "." as the decimal separator, one trailing blank. 60 is
// " 60 ", -5 is "-5 ", 12.5 is " 12.5 ".
std::string ProgramNumberText(double value);

// A number line or dialog box as a number: the whole trimmed text must be one decimal number,
// with "." or "," as the decimal separator. nullopt when it is not.
std::optional<double> ReadProgramNumber(std::string_view text);

// Reads the eight lines of `content` into `settings`. An empty line gives that line's fallback;
// a number line that does not read as a number (or, for a 16-bit field, does not fit) keeps the
// earlier value. Lines missing at the end of a short file read as empty lines.
void ParseProgramSettingFile(std::string_view content, ProgramSettings& settings);

// The eight lines, each ended by CR LF.
std::string FormatProgramSettingFile(const ProgramSettings& settings);

}  // namespace tarnwick
