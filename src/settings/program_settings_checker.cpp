#include "settings/program_settings_checker.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kCpuRange =
    "The program's CPU warning threshold must be a whole number from 1 to 100";
constexpr std::string_view kMemRange =
    "The program's memory warning threshold must be a number above 0 and at most 100";
constexpr std::string_view kAlertCountRange =
    "The program's # of consecutive usage exceed threshold to trigger alert sending must be a "
    "whole number from 1 to 32767";

constexpr double kMostCount = 32767;

void TakeInt16(const std::string& box, int16_t& setting) {
  if (const std::optional<double> number = ReadProgramNumber(box)) {
    if (const std::optional<int16_t> whole = ToInt16(*number)) setting = *whole;
  }
}

int16_t Flag(bool ticked) {
  return ticked ? 1 : 0;
}

}  // namespace

void EnterProgramSettings(const ProgramSettingEntries& e, ProgramSettings& s) {
  s.pgmMonitorF = Flag(e.pgmMonitorF);
  s.pgmNameF = ToLower(Trim(e.pgmNameF));
  TakeInt16(e.pgmCPUsetF, s.pgmCPUsetF);
  if (const std::optional<double> mem = ReadProgramNumber(e.pgmMEMsetF)) s.pgmMEMsetF = *mem;
  TakeInt16(e.pgmAlertSetF, s.pgmAlertSetF);
  s.pgmKillF = Flag(e.pgmKillF);
  s.pgmSoundF = Flag(e.pgmSoundF);
  s.pgmFileSoundF = TrimCopy(e.pgmFileSoundF);
}

// The whole numbers are read as the memory threshold is, "," as the decimal point included, so
// that the check and EnterProgramSettings agree on "85,0".
bool CheckProgramSettings(const ProgramSettingEntries& e, ISettingCheckReport& report) {
  bool passed = true;
  const auto require = [&](bool fit, std::string_view setting, std::string_view message) {
    if (fit) return;
    report.Refuse(setting, std::string(message));
    passed = false;
  };
  require(IsWholeNumberFromTo(ReadProgramNumber(e.pgmCPUsetF), 1, 100), "pgmCPUsetF", kCpuRange);
  require(IsProgramNumberAboveUpTo(e.pgmMEMsetF, 0, 100), "pgmMEMsetF", kMemRange);
  require(IsWholeNumberFromTo(ReadProgramNumber(e.pgmAlertSetF), 1, kMostCount), "pgmAlertSetF",
          kAlertCountRange);
  return passed;
}

}  // namespace tarnwick
