#include "settings/settings_store.h"

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "common/text.h"
#include "common/utf8_path.h"

namespace tarnwick {

namespace {

constexpr std::string_view kSettingFileName = "setting.ini";
constexpr std::string_view kSmtpFileName = "smtpsvr.ini";
constexpr std::string_view kAlertSoundName = "alert.wav";

constexpr size_t kSettingLineCount = 24;
constexpr size_t kSmtpLineCount = 9;
// The lines (from 0) that hold a scrambled password: smsPassword and MailPass.
constexpr size_t kSettingPasswordLine = 17;
constexpr size_t kSmtpPasswordLine = 5;

constexpr std::string_view kTrueText = "True";
constexpr std::string_view kFalseText = "False";

// The captions of the main window's status area.
constexpr std::string_view kCycleCaptionStart = "Monitor cycle on every ";
constexpr std::string_view kCycleCaptionEnd = " seconds";
constexpr std::string_view kAlertCountCaptionStart = "Send alert on ";
constexpr std::string_view kAlertCountCaptionEnd = " consecutive usage exceed threshold";
constexpr std::string_view kCountOfCaptionStart = "/";
constexpr std::string_view kPercentSign = "%";

// Lowest minute count of the "I am alive" notice; also what a bad min_Select line becomes.
constexpr int16_t kMinAliveMinutes = 1;
constexpr std::string_view kMinAliveMinutesText = "1";

// ---- Password scrambling --------------------------------------------------------------------

// Key offset: the sum of the key's byte codes, shrunk below 100 by thirds (odd) and quarters.
double KeyOffset(std::string_view key) {
  double s = 0;
  for (char c : key) s += static_cast<unsigned char>(c);
  while (s > 100) {
    s = std::fmod(RoundHalfEven(s), 2.0) != 0 ? s / 3 : s / 4;
  }
  return s;
}

char ClampedByte(double code) {
  if (code < 0) code = 0;
  if (code > 255) code = 255;
  return static_cast<char>(static_cast<unsigned char>(code));
}

// The bytes at odd positions only pad the scrambled text; DecodeText skips them. A code there
// that does not fit a byte, or that would end the line (CR, LF) or be trimmed away when it
// leads the line (space, tab), is folded into 33..255 so the stored line keeps its length.
char PaddingByte(double code) {
  const auto whole = static_cast<long long>(code);
  const bool unsafe =
      whole > 255 || whole == '\r' || whole == '\n' || whole == ' ' || whole == '\t';
  if (!unsafe) return ClampedByte(code);
  return static_cast<char>(static_cast<unsigned char>((whole - 1) % 223 + 33));
}

// ---- Line reading ---------------------------------------------------------------------------

// The file's lines, padded with empty lines up to `count`; lines past `count` are ignored.
std::vector<std::string> ReadLines(std::string_view content, size_t count) {
  std::vector<std::string> lines = SplitLines(content);
  lines.resize(count);
  return lines;
}

std::string RawOrFallback(const std::string& line, std::string_view fallback) {
  return line.empty() ? std::string(fallback) : line;
}

// Flags written by older versions may carry text after the digits ("1 (on)"): the leading
// number counts.
int16_t LeadingFlag(std::string_view line) {
  return ToInt16(LeadingNumber(line)).value_or(0);
}

// Flags that count only when the whole line is a number.
int16_t WholeFlag(std::string_view line) {
  return TextToInt16(line).value_or(0);
}

bool ReadKillopt(std::string_view line) {
  const std::string lower = ToLower(line);
  if (lower == "true") return true;
  if (lower == "false") return false;
  const std::optional<double> number = WholeTextNumber(line);
  return number.has_value() && *number != 0;
}

// ---- Line writing ---------------------------------------------------------------------------

// A value never holds a line end in the file, or it would shift every line after it.
std::string OneLine(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append(kCrLf);
}

void AppendText(std::string& out, std::string_view value) {
  AppendLine(out, Trim(OneLine(value)));
}

void AppendFlag(std::string& out, int16_t value) {
  AppendLine(out, IntText(value));
}

void AppendPassword(std::string& out, std::string_view value) {
  AppendLine(out, Trim(EncodeText("", OneLine(value))));
}

}  // namespace

std::string EncodeText(std::string_view key, std::string_view value) {
  const double s = KeyOffset(key);
  std::string out;
  out.reserve(value.size() * 2);
  for (size_t index = 0; index < value.size(); ++index) {
    const double t = static_cast<unsigned char>(value[index]) + s;
    const auto position = static_cast<double>(index + 1);
    out.push_back(PaddingByte(RoundHalfEven(t + position)));
    out.push_back(ClampedByte(RoundHalfEven(t)));
  }
  return out;
}

std::string DecodeText(std::string_view key, std::string_view value) {
  const double s = KeyOffset(key);
  std::string out;
  out.reserve(value.size() / 2);
  for (size_t index = 1; index < value.size(); index += 2) {
    out.push_back(ClampedByte(RoundHalfEven(static_cast<unsigned char>(value[index]) - s)));
  }
  return out;
}

void ParseSettingFile(std::string_view content, Settings& settings) {
  const std::vector<std::string> raw = ReadLines(content, kSettingLineCount);
  std::array<std::string, kSettingLineCount> line;
  for (size_t i = 0; i < kSettingLineCount; ++i) line[i] = TrimCopy(raw[i]);

  // The four numbers of the alert rule are kept exactly as read, blanks included.
  settings.TimeInterval = RawOrFallback(raw[0], kEmptyTimeInterval);
  settings.cpu_High = RawOrFallback(raw[1], kEmptyCpuHigh);
  settings.mem_High = RawOrFallback(raw[2], kEmptyMemHigh);
  settings.num_High = RawOrFallback(raw[3], kEmptyNumHigh);
  settings.host_Name = line[4];
  settings.Enable_log = LeadingFlag(line[5]);
  settings.KillProc = LeadingFlag(line[6]);
  settings.num_Kill = line[7];
  settings.Killopt = ReadKillopt(line[8]);
  settings.PnameList = ToLower(line[9]);
  settings.Enable_sound = WholeFlag(line[10]);
  settings.filMusic = line[11];
  settings.soundOn = WholeFlag(line[12]);
  settings.soundFrom = line[13];
  settings.soundTo = line[14];
  settings.Enable_alert = LeadingFlag(line[15]);
  settings.smsEmail = line[16];
  settings.smsPassword = DecodeText("", line[17]);
  settings.smsPhone = line[18];
  settings.Mail_List = line[19];
  settings.max_SMS = line[20];
  settings.schAlert = WholeFlag(line[21]);
  settings.smsFrom = line[22];
  settings.smsTo = line[23];
}

std::string FormatSettingFile(const Settings& settings) {
  std::string out;
  AppendText(out, settings.TimeInterval);
  AppendText(out, settings.cpu_High);
  AppendText(out, settings.mem_High);
  AppendText(out, settings.num_High);
  AppendText(out, settings.host_Name);
  AppendFlag(out, settings.Enable_log);
  AppendFlag(out, settings.KillProc);
  AppendText(out, settings.num_Kill);
  AppendLine(out, settings.Killopt ? kTrueText : kFalseText);
  AppendText(out, settings.PnameList);
  AppendFlag(out, settings.Enable_sound);
  AppendText(out, settings.filMusic);
  AppendFlag(out, settings.soundOn);
  AppendText(out, settings.soundFrom);
  AppendText(out, settings.soundTo);
  AppendFlag(out, settings.Enable_alert);
  AppendText(out, settings.smsEmail);
  AppendPassword(out, settings.smsPassword);
  AppendText(out, settings.smsPhone);
  AppendText(out, settings.Mail_List);
  AppendText(out, settings.max_SMS);
  AppendFlag(out, settings.schAlert);
  AppendText(out, settings.smsFrom);
  AppendText(out, settings.smsTo);
  return out;
}

int16_t ParseSmtpFile(std::string_view content, Settings& settings) {
  const std::vector<std::string> raw = ReadLines(content, kSmtpLineCount);
  std::array<std::string, kSmtpLineCount> line;
  for (size_t i = 0; i < kSmtpLineCount; ++i) line[i] = TrimCopy(raw[i]);

  settings.Enable_SMTP = WholeFlag(line[0]);
  settings.mailSvr = line[1];
  settings.SMTPport = line[2];
  settings.mailFrom = line[3];
  settings.MailUser = line[4];
  settings.MailPass = DecodeText("", line[5]);
  settings.alive_Email = WholeFlag(line[6]);
  settings.mailTo1 = line[8];

  // The notice interval must be a positive 16-bit count of minutes; the text keeps what the
  // user typed ("90 min") unless it is replaced by the minimum.
  std::optional<int16_t> minutes;
  if (!line[7].empty()) minutes = ToInt16(LeadingNumber(line[7]));
  if (!minutes || *minutes < kMinAliveMinutes) {
    settings.min_Select = std::string(kMinAliveMinutesText);
    return kMinAliveMinutes;
  }
  settings.min_Select = line[7];
  return *minutes;
}

std::string FormatSmtpFile(const Settings& settings) {
  std::string out;
  AppendFlag(out, settings.Enable_SMTP);
  AppendText(out, settings.mailSvr);
  AppendText(out, settings.SMTPport);
  AppendText(out, settings.mailFrom);
  AppendText(out, settings.MailUser);
  AppendPassword(out, settings.MailPass);
  AppendFlag(out, settings.alive_Email);
  AppendText(out, settings.min_Select);
  AppendText(out, settings.mailTo1);
  return out;
}

int16_t CycleSeconds(std::string_view timeInterval) {
  return TextToInt16(timeInterval).value_or(kSafeCycleSeconds);
}

StatusCaptions MakeStatusCaptions(const Settings& settings) {
  StatusCaptions captions;
  captions.lblTimeinterval =
      std::string(kCycleCaptionStart) + settings.TimeInterval + std::string(kCycleCaptionEnd);
  captions.lblNum =
      std::string(kAlertCountCaptionStart) + settings.num_High + std::string(kAlertCountCaptionEnd);
  captions.lblNum_count = std::string(kCountOfCaptionStart) + settings.num_High;
  captions.lbl_Threshold[0] = settings.cpu_High + std::string(kPercentSign);
  captions.lbl_Threshold[1] = settings.mem_High + std::string(kPercentSign);
  return captions;
}

SettingsStore::SettingsStore(IFileSystem& files, std::string folder, std::string separator)
    : folder_(std::move(folder)),
      separator_(std::move(separator)),
      settingFile_(files, folder_ + separator_ + std::string(kSettingFileName),
                   {kSettingPasswordLine}),
      smtpFile_(files, folder_ + separator_ + std::string(kSmtpFileName), {kSmtpPasswordLine}) {}

std::string SettingsStore::SettingPath() const {
  return settingFile_.Path();
}

std::string SettingsStore::SmtpPath() const {
  return smtpFile_.Path();
}

SettingsStore::LoadResult SettingsStore::LoadSettings(Settings& settings,
                                                      const std::string& computerName,
                                                      const std::string& programFolder) {
  LoadResult result;
  SettingsFile::Loaded setting = settingFile_.Load();
  result.notices = std::move(setting.notices);
  if (!setting.exists) {
    settings.Enable_log = 1;
    settings.Enable_sound = 0;
    settings.filMusic = programFolder + separator_ + std::string(kAlertSoundName);
    settings.schAlert = 0;
    // One-character texts are moved in from whole strings: assigned from literals, GCC 12 at -O3
    // reports a false overlap (-Wrestrict) in the inlined copy.
    settings.smsFrom = std::string("8");
    settings.smsTo = "19";
    settings.soundOn = 0;
    settings.soundFrom = std::string("8");
    settings.soundTo = "19";
    settings.host_Name = computerName;
    settings.KillProc = 0;
    settings.Killopt = true;
    settings.TimeInterval = std::string("5");
    settings.cpu_High = "85";
    settings.mem_High = "85";
    settings.num_High = "10";
    settings.num_Kill = settings.num_High;
    result.source = SettingSource::FirstRun;
  } else if (setting.content) {
    ParseSettingFile(*setting.content, settings);
    result.source = SettingSource::File;
  } else {
    // The file is there but locked or damaged: run on the empty-line values rather than the
    // first-run ones, so a passing fault does not look like a fresh install.
    ParseSettingFile("", settings);
    result.source = SettingSource::Unreadable;
  }

  // An smtpsvr.ini that exists but cannot be read counts as all empty lines: no SMTP server and
  // no notice, and no countdown for it.
  SettingsFile::Loaded smtp = smtpFile_.Load();
  result.notices.insert(result.notices.end(), smtp.notices.begin(), smtp.notices.end());
  if (smtp.content) {
    result.aliveMinutes = ParseSmtpFile(*smtp.content, settings);
  } else if (smtp.exists) {
    ParseSmtpFile("", settings);
  }
  return result;
}

bool SettingsStore::SaveSettings(const Settings& settings, IUiServices& ui) {
  return settingFile_.Save(FormatSettingFile(settings), ui);
}

bool SettingsStore::SaveSMTPSettings(const Settings& settings, IUiServices& ui) {
  return smtpFile_.Save(FormatSmtpFile(settings), ui);
}

}  // namespace tarnwick
