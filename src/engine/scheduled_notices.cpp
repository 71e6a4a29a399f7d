#include "engine/scheduled_notices.h"

#include "delivery/html_text.h"
#include "engine/service_client.h"
#include "delivery/smtp_mailer.h"
#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "forms/main_window_model.h"

namespace tarnwick {

ScheduledNotices::ScheduledNotices(MainWindowModel& window, ServiceClient& client,
                                   SmtpMailer& mailer)
    : window_(window), client_(client), mailer_(mailer) {}

void ScheduledNotices::OnTimer4Tick() {
  if (HhMm(window_.deps().clock.Now()) != "00:00") return;
  window_.settings.smsSentToday = 0;
  window_.alertSetting().EnsureLoaded();
  window_.alertSetting().SMS_Today = "SMS Sent Today : 0";
  ++dayCount_;
  if (window_.session.reloginFlag == "1" && dayCount_ == 5) client_.ServiceLogin();
  if (dayCount_ >= 5) dayCount_ = 0;
}

void ScheduledNotices::OnTimer5Tick() {
  --window_.aliveCountdown;
  if (window_.aliveCountdown >= 1) return;
  // min_Select is at least 1 once loaded; a text that is not one still waits a minute.
  const auto minutes = ToInt16(LeadingNumber(window_.settings.min_Select));
  window_.aliveCountdown = minutes && *minutes >= 1 ? *minutes : 1;
  if (window_.settings.alive_Email == 1) sch_Notify(true);
}

void ScheduledNotices::sch_Notify(bool mail) {
  const std::string now = YmdHms(window_.deps().clock.Now());
  const std::string subject = now + " Tarnwick program's log !! ";
  // The body is HTML: every value is escaped, so a process name or reply in the log shows as
  // text; the log's line ends still become "<br>" on the way to the mailer.
  const std::string logPart =
      HtmlEscape(window_.lastUsageLine) + "<br><br>" + HtmlEscape(window_.log().PaneText());
  std::string body = "<html><body> Good Day !! <br><br>Now is " + now +
                     "<br><br> Tarnwick program is up and running<br><br>Account : " +
                     HtmlEscape(window_.settings.smsEmail) + " SMS credits " +
                     HtmlEscape(window_.Label7.caption) + " left<br><br> Status Log : <br>" +
                     logPart + "<br><br><br>Textpost</body></html>";
  if (mail && !Trim(window_.settings.mailTo1).empty()) {
    mailer_.SendMailViaSmtp(window_.settings.mailTo1, body, subject);
  }
}

}  // namespace tarnwick
