// Reading and writing setting.ini and smtpsvr.ini in the program's folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace tarnwick {

// Fallbacks of the first four lines of setting.ini when they are empty.
inline constexpr std::string_view kEmptyTimeInterval = "5";
inline constexpr std::string_view kEmptyCpuHigh = "75";
inline constexpr std::string_view kEmptyMemHigh = "80";
inline constexpr std::string_view kEmptyNumHigh = "60";

// Cycle length used when TimeInterval does not convert to a 16-bit whole number.
inline constexpr int16_t kSafeCycleSeconds = 5;

// Reversible scrambling of the stored passwords: each character is preceded by the character
// whose code is its own plus its 1-based position (plus the key offset). "abc" is "badbfc".
std::string EncodeText(std::string_view key, std::string_view value);
std::string DecodeText(std::string_view key, std::string_view value);

// Reads the 24 lines of setting.ini from `content` into `settings` by the reading rules; missing
// lines read as empty lines.
void ParseSettingFile(std::string_view content, Settings& settings);
// The 24 lines in their written form, each ended by CR LF.
std::string FormatSettingFile(const Settings& settings);

// Reads the 9 lines of smtpsvr.ini; returns the whole-number value of min_Select (at least 1).
int16_t ParseSmtpFile(std::string_view content, Settings& settings);
std::string FormatSmtpFile(const Settings& settings);

// Seconds of one monitor cycle for a TimeInterval text (kSafeCycleSeconds when it does not
// convert to a 16-bit whole number).
int16_t CycleSeconds(std::string_view timeInterval);

// The status captions of the main window, built from the settings.
struct StatusCaptions {
  std::string lblTimeinterval;
  std::string lblNum;
  std::string lblNum_count;      // both elements
  std::string lbl_Threshold[2];  // CPU, memory
};
StatusCaptions MakeStatusCaptions(const Settings& settings);

class SettingsStore {
 public:
  // `folder` is the program's folder; `separator` the platform's path separator.
  SettingsStore(std::string folder, std::string separator);

  std::string SettingPath() const;
  std::string SmtpPath() const;

  enum class SettingSource { File, FirstRun, Unreadable };
  struct LoadResult {
    SettingSource source = SettingSource::File;
    // aliveCountdown from min_Select; 0 when smtpsvr.ini is missing.
    int16_t aliveMinutes = 0;
  };
  // Fills `settings` from both files. With no setting.ini it applies the first-run values
  // (computer name as host, alert.wav in the program's folder); the caller then applies the
  // dialog defaults.
  LoadResult LoadSettings(Settings& settings, const std::string& computerName) const;

  // Writes the file through a temporary file renamed over the old one, readable by the owner
  // only. False when it could not be written (the old file is then untouched).
  bool SaveSettings(const Settings& settings) const;
  bool SaveSMTPSettings(const Settings& settings) const;

 private:
  std::string folder_;
  std::string separator_;
};

// Writes `content` to `path` atomically (temporary file, then rename), owner-only permissions.
bool WriteFileAtomically(const std::string& path, std::string_view content);
// The whole file; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace tarnwick
