// The checks of a Save of smtpsvr.ini, and what the entries become in the settings record.
#pragma once

#include <string>
#include <string_view>

#include "settings/check_report.h"
#include "settings/settings.h"

namespace tarnwick {

// What a provider's preset puts before "@" in the addresses: a Save and the test mail refuse
// boxes that still hold it.
inline constexpr std::string_view kUneditedPresetMarker = "xxxxx";

// What the SMTP server's Save takes, as typed (nothing trimmed), under the settings' names.
struct SmtpSettingEntries {
  // The second server.
  bool Enable_SMTP = false;
  std::string mailSvr, SMTPport, mailFrom, MailUser, MailPass;
  // The "I am alive" notice.
  bool alive_Email = false;
  std::string min_Select, mailTo1;
};

// What a refused Save puts in force, unsaved: the server's fields after a refusal about one of
// them, the notice's fields as well after a refusal about the notice.
enum class SmtpCheckStage { Server, Notice };

// The stage of a setting named in a refusal: Notice for alive_Email, mailTo1 and min_Select,
// Server for every other name.
SmtpCheckStage StageOf(std::string_view setting);

// The server's fields as the settings hold them, as typed; the switch as 0 or 1.
void EnterSmtpServer(const SmtpSettingEntries& entries, Settings& settings);
// The notice's fields as the settings hold them: the recipient and minutes trimmed, and an empty
// minutes box as the 5 minutes it stands for.
void EnterSmtpNotice(const SmtpSettingEntries& entries, Settings& settings);

// Runs the checks of the Save in order; the first failure ends them. True when all passed.
//
// Some steps also correct a box for the next try: an empty min_Select becomes "5" once the
// server's checks passed, and a refused one becomes "1". So what comes into force after a
// refusal is a copy of the entries taken before the checks, not `entries` afterwards.
bool CheckSmtpSettings(SmtpSettingEntries& entries, ISettingCheckReport& report);

}  // namespace tarnwick
