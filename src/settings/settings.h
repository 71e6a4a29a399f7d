// The one settings record of the process: setting.ini and smtpsvr.ini in memory. Thresholds,
// counts and hours are held as the user typed them and converted at each use.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

struct Settings {
  // setting.ini, in line order.
  std::string TimeInterval;  // 1: seconds between monitor cycles
  std::string cpu_High;      // 2: CPU threshold, percent
  std::string mem_High;      // 3: memory threshold, percent
  std::string num_High;      // 4: consecutive exceeding samples that raise an alert
  std::string host_Name;     // 5: host, IP or description in alert texts
  int16_t Enable_log = 0;    // 6: write the daily log file
  int16_t KillProc = 0;      // 7: terminate the top process on an alert
  std::string num_Kill;      // 8: times a process must have been top before it is terminated
  bool Killopt = false;      // 9: true: kill only listed names; false: kill unless listed
  std::string PnameList;     // 10: process names separated by commas, lower case
  int16_t Enable_sound = 0;  // 11: play the warning sound on exceeding samples
  std::string filMusic;      // 12: WAV file of the warning sound
  int16_t soundOn = 0;       // 13: only inside the sound hour window
  std::string soundFrom;     // 14
  std::string soundTo;       // 15
  int16_t Enable_alert = 0;  // 16: send alerts through the web service
  std::string smsEmail;      // 17: service account e-mail
  std::string smsPassword;   // 18: service account password (scrambled in the file)
  std::string smsPhone;      // 19: SMS recipients
  std::string Mail_List;     // 20: mail alert recipients
  std::string max_SMS;       // 21: daily SMS cap
  int16_t schAlert = 0;      // 22: only inside the alert hour window
  std::string smsFrom;       // 23
  std::string smsTo;         // 24

  // smtpsvr.ini, in line order.
  int16_t Enable_SMTP = 0;  // 1: also mail alerts through the second SMTP server
  std::string mailSvr;      // 2
  std::string SMTPport;     // 3
  std::string mailFrom;     // 4
  std::string MailUser;     // 5
  std::string MailPass;     // 6 (scrambled in the file)
  int16_t alive_Email = 0;  // 7: the "I am alive" notice is on
  std::string min_Select;   // 8: minutes between notices, at least 1
  std::string mailTo1;      // 9: recipient of the notice

  // SMS sent since midnight or the user's reset; never stored.
  int16_t smsSentToday = 0;
};

}  // namespace tarnwick
