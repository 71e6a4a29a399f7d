// Reading and writing setting.ini and smtpsvr.ini in the program's folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/ui_services.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

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
  SettingsStore(IFileSystem& files, std::string folder, std::string separator);

  std::string SettingPath() const;
  std::string SmtpPath() const;

  enum class SettingSource { File, FirstRun, Unreadable };
  struct LoadResult {
    SettingSource source = SettingSource::File;
    // aliveCountdown from min_Select; 0 when smtpsvr.ini is missing or unreadable.
    int16_t aliveMinutes = 0;
    // Lines for the activity log about files that could not be read, or only in part.
    std::vector<std::string> notices;
  };
  // Fills `settings` from both files. With no setting.ini it applies the first-run values
  // (computer name as host, alert.wav in `programFolder`, where the program's sounds are
  // installed, which need not be the settings' folder); the caller then applies the dialog
  // defaults. A file that exists but cannot be read reads as all empty lines, which keeps its
  // switches (alerts, kills, SMTP, the notice) off.
  LoadResult LoadSettings(Settings& settings, const std::string& computerName,
                          const std::string& programFolder);

  // Writes the file through an owner-only temporary file put in place of the old one. False when
  // it was not written (the user declined to replace a file that could not be read, or the write
  // failed and was shown); the old file is then untouched.
  bool SaveSettings(const Settings& settings, IUiServices& ui);
  bool SaveSMTPSettings(const Settings& settings, IUiServices& ui);

 private:
  std::string folder_;
  std::string separator_;
  SettingsFile settingFile_;
  SettingsFile smtpFile_;
};

}  // namespace tarnwick
