#include "settings/settings_recheck.h"

#include <string_view>

#include "common/text.h"
#include "settings/alert_settings_checker.h"
#include "settings/program_settings_checker.h"
#include "settings/smtp_settings_checker.h"

namespace tarnwick {
namespace {

class FirstRefusal final : public ISettingCheckReport {
 public:
  std::optional<std::string> line;
  void Refuse(std::string_view setting, const std::string& message) override {
    if (!line) line = std::string(setting) + ": " + message;
  }
  bool Ask(std::string_view, const std::string&) override { return true; }
};

bool On(int16_t flag) {
  return flag == 1;
}

}  // namespace

std::optional<std::string> FirstSettingsRefusal(const Settings& s) {
  AlertSettingEntries alert{
      s.TimeInterval,     s.cpu_High,     s.mem_High,    s.num_High,  s.host_Name,
      On(s.Enable_log),   On(s.KillProc), s.num_Kill,    s.Killopt,   s.PnameList,
      On(s.Enable_sound), s.filMusic,     On(s.soundOn), s.soundFrom, s.soundTo,
      On(s.Enable_alert), s.smsEmail,     s.smsPassword, s.smsPhone,  s.Mail_List,
      s.max_SMS,          On(s.schAlert), s.smsFrom,     s.smsTo};
  FirstRefusal report;
  if (!CheckAlertSettings(alert, report)) return report.line;
  SmtpSettingEntries smtp{On(s.Enable_SMTP), s.mailSvr,    s.SMTPport,
                          s.mailFrom,        s.MailUser,   s.MailPass,
                          On(s.alive_Email), s.min_Select, s.mailTo1};
  if (!CheckSmtpSettings(smtp, report)) return report.line;
  return std::nullopt;
}

std::optional<std::string> FirstProgramSettingsRefusal(const ProgramSettings& p) {
  const ProgramSettingEntries entries{On(p.pgmMonitorF),
                                      On(p.pgmKillF),
                                      On(p.pgmSoundF),
                                      p.pgmNameF,
                                      TrimCopy(ProgramNumberText(p.pgmCPUsetF)),
                                      TrimCopy(ProgramNumberText(p.pgmMEMsetF)),
                                      TrimCopy(ProgramNumberText(p.pgmAlertSetF)),
                                      p.pgmFileSoundF};
  FirstRefusal report;
  if (!CheckProgramSettings(entries, report)) return report.line;
  return std::nullopt;
}

}  // namespace tarnwick
