// Feeds arbitrary bytes as pgmsetting.ini. Beyond crashes and sanitizer reports it traps when a
// saved file does not stay as it is through the next load and save. (Numbers are written with 15
// significant digits, so a hand-written threshold with more digits settles at the first save.)
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text.h"
#include "settings/program_settings.h"

namespace {

using tarnwick::ProgramSettings;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Same(const ProgramSettings& a, const ProgramSettings& b) {
  return a.pgmMonitorF == b.pgmMonitorF && a.pgmNameF == b.pgmNameF &&
         a.pgmCPUsetF == b.pgmCPUsetF && a.pgmMEMsetF == b.pgmMEMsetF &&
         a.pgmAlertSetF == b.pgmAlertSetF && a.pgmKillF == b.pgmKillF &&
         a.pgmSoundF == b.pgmSoundF && a.pgmFileSoundF == b.pgmFileSoundF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  ProgramSettings first;
  tarnwick::ParseProgramSettingFile(input, first);
  // A threshold is always a number the file can hold.
  Check(std::isfinite(first.pgmMEMsetF));
  const std::string written = tarnwick::FormatProgramSettingFile(first);
  Check(tarnwick::SplitLines(written).size() == 8);
  ProgramSettings second;
  tarnwick::ParseProgramSettingFile(written, second);
  Check(tarnwick::FormatProgramSettingFile(second) == written);
  ProgramSettings third;
  tarnwick::ParseProgramSettingFile(tarnwick::FormatProgramSettingFile(second), third);
  Check(Same(second, third));
  tarnwick::ReadProgramNumber(input);
  tarnwick::ProgramNumberText(first.pgmMEMsetF);
  return 0;
}
