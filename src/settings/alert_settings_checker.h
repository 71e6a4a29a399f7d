// The checks of a Save of setting.ini, and what the entries become in the settings record.
#pragma once

#include <string>

#include "settings/check_report.h"
#include "settings/settings.h"

namespace tarnwick {

// What the alert settings' Save takes, as typed (nothing trimmed), under the settings' names.
struct AlertSettingEntries {
  std::string TimeInterval, cpu_High, mem_High, num_High, host_Name;
  bool Enable_log = false;
  bool KillProc = false;
  std::string num_Kill;
  bool Killopt = false;
  std::string PnameList;
  bool Enable_sound = false;
  std::string filMusic;
  bool soundOn = false;
  std::string soundFrom, soundTo;
  bool Enable_alert = false;
  std::string smsEmail, smsPassword, smsPhone, Mail_List, max_SMS;
  bool schAlert = false;
  std::string smsFrom, smsTo;
};

// The entries as the settings hold them: numbers, hours, host and lists trimmed; the account,
// phone, sound file and SMS cap as typed; switches as 0 or 1.
void EnterAlertSettings(const AlertSettingEntries& entries, Settings& settings);

// Runs every check of the Save in order; true when all passed. The value checks (through the
// kill rule) report every failure and go on; a failure of an alert sending check ends the
// checking; the hour windows are checked whatever the switches say, and a bad sound window skips
// the alert window's check.
//
// Some refusals also correct a box for the next try: num_Kill takes num_High's text, and
// Enable_alert is cleared when the login address is not one. So what comes into force after a
// refusal is a copy of the entries taken before the checks, not `entries` afterwards.
bool CheckAlertSettings(AlertSettingEntries& entries, ISettingCheckReport& report);

}  // namespace tarnwick
