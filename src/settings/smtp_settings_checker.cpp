#include "settings/smtp_settings_checker.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "settings/mail_address.h"

namespace tarnwick {
namespace {

// The minutes of the "I am alive" notice: what an empty box becomes, and the least accepted.
constexpr std::string_view kDefaultMinutes = "5";
constexpr int16_t kLeastMinutes = 1;
constexpr std::string_view kLeastMinutesText = "1";

constexpr double kMostPort = 65535;

constexpr std::string_view kServerFieldsEmpty =
    "SMTP server,Mail from,Username and Password can not be empty";
constexpr std::string_view kSaveUneditedPreset =
    "Need input the valid Mail from and username information";
constexpr std::string_view kPortRange = "SMTP port number must be a whole number from 1 to 65535";
constexpr std::string_view kAliveRecipientInvalid =
    "Need input valid email on [Mail to] field for [I am alive notice] !!";
constexpr std::string_view kMinutesTooFewStart = "Send mail for I am alive notice need >= ";
constexpr std::string_view kMinutesTooFewEnd = " minutes";

// The minutes as the notice takes them.
std::string NoticeMinutes(const std::string& box) {
  return box.empty() ? std::string(kDefaultMinutes) : TrimCopy(box);
}

// The server's fields; the first failure is reported. True when they passed.
bool CheckServer(const SmtpSettingEntries& e, ISettingCheckReport& report) {
  // With the server off its fields may stay empty, but a port typed in must be one.
  if (!e.Enable_SMTP) {
    if (Trim(e.SMTPport).empty() || IsWholeTextFromTo(e.SMTPport, 1, kMostPort)) return true;
    report.Refuse("SMTPport", std::string(kPortRange));
    return false;
  }
  const std::pair<std::string_view, const std::string*> required[] = {{"mailSvr", &e.mailSvr},
                                                                      {"mailFrom", &e.mailFrom},
                                                                      {"MailUser", &e.MailUser},
                                                                      {"MailPass", &e.MailPass}};
  for (const auto& [setting, box] : required) {
    if (box->empty()) {
      report.Refuse(setting, std::string(kServerFieldsEmpty));
      return false;
    }
  }
  if (Contains(e.mailFrom, kUneditedPresetMarker) || Contains(e.MailUser, kUneditedPresetMarker)) {
    report.Refuse(Contains(e.mailFrom, kUneditedPresetMarker) ? "mailFrom" : "MailUser",
                  std::string(kSaveUneditedPreset));
    return false;
  }
  if (!IsWholeTextFromTo(e.SMTPport, 1, kMostPort)) {
    report.Refuse("SMTPport", std::string(kPortRange));
    return false;
  }
  return true;
}

}  // namespace

SmtpCheckStage StageOf(std::string_view setting) {
  for (std::string_view notice : {"alive_Email", "mailTo1", "min_Select"}) {
    if (setting == notice) return SmtpCheckStage::Notice;
  }
  return SmtpCheckStage::Server;
}

void EnterSmtpServer(const SmtpSettingEntries& e, Settings& s) {
  s.Enable_SMTP = e.Enable_SMTP ? 1 : 0;
  s.mailSvr = e.mailSvr;
  s.SMTPport = e.SMTPport;
  s.mailFrom = e.mailFrom;
  s.MailUser = e.MailUser;
  s.MailPass = e.MailPass;
}

void EnterSmtpNotice(const SmtpSettingEntries& e, Settings& s) {
  s.alive_Email = e.alive_Email ? 1 : 0;
  s.mailTo1 = TrimCopy(e.mailTo1);
  s.min_Select = NoticeMinutes(e.min_Select);
}

// The notice's checks run whatever Enable_SMTP says: the dialog clears alive_Email with it.
bool CheckSmtpSettings(SmtpSettingEntries& e, ISettingCheckReport& report) {
  if (!CheckServer(e, report)) return false;
  const std::string minutesText = NoticeMinutes(e.min_Select);
  // An empty minutes box shows the minutes it stands for.
  if (e.min_Select.empty()) e.min_Select = std::string(kDefaultMinutes);

  if (e.alive_Email && !LooksLikeMailAddress(TrimCopy(e.mailTo1))) {
    report.Refuse("mailTo1", std::string(kAliveRecipientInvalid));
    return false;
  }
  // A text that is no whole number (letters, or too large) is refused the same way.
  const std::optional<int16_t> minutes = TextToInt16(minutesText);
  if (!minutes || *minutes < kLeastMinutes) {
    report.Refuse("min_Select", std::string(kMinutesTooFewStart) + std::string(kLeastMinutesText) +
                                    std::string(kMinutesTooFewEnd));
    e.min_Select = std::string(kLeastMinutesText);
    return false;
  }
  return true;
}

}  // namespace tarnwick
