// Feeds arbitrary bytes to the settings readers and writers and to the number helpers they use.
// Beyond crashes and sanitizer reports it traps when a written file does not read back as the
// record it was written from.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/numbers.h"
#include "common/text.h"
#include "settings/settings_store.h"

namespace {

using tarnwick::Settings;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool EndsWithBlank(const std::string& text) {
  return !text.empty() && text.back() == ' ';
}

// Lines 1 to 4 are kept as read but written trimmed; an all-blank one comes back as its fallback.
void CheckRuleLine(const std::string& read, const std::string& reread, std::string_view fallback) {
  const std::string_view trimmed = tarnwick::Trim(read);
  Check(reread == (trimmed.empty() ? fallback : trimmed));
}

// The scrambled form of a password ending in a space is trimmed by one byte on writing, which
// drops that space (a tab stays); nothing else about it changes.
void CheckPassword(const std::string& read, const std::string& reread) {
  Check(reread == (EndsWithBlank(read) ? read.substr(0, read.size() - 1) : read));
}

void CheckSettingRoundTrip(std::string_view input) {
  Settings first;
  tarnwick::ParseSettingFile(input, first);
  const std::string written = tarnwick::FormatSettingFile(first);
  Check(tarnwick::SplitLines(written).size() == 24);
  Settings second;
  tarnwick::ParseSettingFile(written, second);

  CheckRuleLine(first.TimeInterval, second.TimeInterval, tarnwick::kEmptyTimeInterval);
  CheckRuleLine(first.cpu_High, second.cpu_High, tarnwick::kEmptyCpuHigh);
  CheckRuleLine(first.mem_High, second.mem_High, tarnwick::kEmptyMemHigh);
  CheckRuleLine(first.num_High, second.num_High, tarnwick::kEmptyNumHigh);
  Check(first.host_Name == second.host_Name);
  Check(first.Enable_log == second.Enable_log);
  Check(first.KillProc == second.KillProc);
  Check(first.num_Kill == second.num_Kill);
  Check(first.Killopt == second.Killopt);
  Check(first.PnameList == second.PnameList);
  Check(first.Enable_sound == second.Enable_sound);
  Check(first.filMusic == second.filMusic);
  Check(first.soundOn == second.soundOn);
  Check(first.soundFrom == second.soundFrom);
  Check(first.soundTo == second.soundTo);
  Check(first.Enable_alert == second.Enable_alert);
  Check(first.smsEmail == second.smsEmail);
  CheckPassword(first.smsPassword, second.smsPassword);
  Check(first.smsPhone == second.smsPhone);
  Check(first.Mail_List == second.Mail_List);
  Check(first.max_SMS == second.max_SMS);
  Check(first.schAlert == second.schAlert);
  Check(first.smsFrom == second.smsFrom);
  Check(first.smsTo == second.smsTo);

  tarnwick::CycleSeconds(first.TimeInterval);
  tarnwick::MakeStatusCaptions(first);
}

void CheckSmtpRoundTrip(std::string_view input) {
  Settings first;
  const int16_t minutes = tarnwick::ParseSmtpFile(input, first);
  Check(minutes >= 1);
  const std::string written = tarnwick::FormatSmtpFile(first);
  Check(tarnwick::SplitLines(written).size() == 9);
  Settings second;
  Check(tarnwick::ParseSmtpFile(written, second) == minutes);

  Check(first.Enable_SMTP == second.Enable_SMTP);
  Check(first.mailSvr == second.mailSvr);
  Check(first.SMTPport == second.SMTPport);
  Check(first.mailFrom == second.mailFrom);
  Check(first.MailUser == second.MailUser);
  CheckPassword(first.MailPass, second.MailPass);
  Check(first.alive_Email == second.alive_Email);
  Check(first.min_Select == second.min_Select);
  Check(first.mailTo1 == second.mailTo1);
}

void CheckScrambling(std::string_view input) {
  // With no key every byte comes back; a key may round or clamp, so it is only exercised.
  Check(tarnwick::DecodeText("", tarnwick::EncodeText("", input)) == input);
  tarnwick::DecodeText("", input);
  const std::string_view key = input.substr(0, input.size() < 8 ? input.size() : 8);
  const std::string_view value = input.substr(key.size());
  tarnwick::DecodeText(key, tarnwick::EncodeText(key, value));
  tarnwick::DecodeText(key, value);
}

void CheckNumbers(std::string_view input) {
  const double leading = tarnwick::LeadingNumber(input);
  const std::optional<double> whole = tarnwick::WholeTextNumber(input);
  // A text of hundreds of digits is no number: it never reads as infinity.
  Check(std::isfinite(leading));
  if (whole) Check(std::isfinite(*whole) && *whole == leading);
  const std::optional<int16_t> small = tarnwick::TextToInt16(input);
  if (small) Check(whole && tarnwick::ToInt16(*whole) == small);
  tarnwick::ShortestForm(leading);
  const int decimals = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 32 - 16;
  tarnwick::RoundHalfEvenTo(leading, decimals);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckSettingRoundTrip(input);
  CheckSmtpRoundTrip(input);
  CheckScrambling(input);
  CheckNumbers(input);
  return 0;
}
