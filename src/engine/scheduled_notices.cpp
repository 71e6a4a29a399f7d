#include "engine/scheduled_notices.h"

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "delivery/html_text.h"
#include "delivery/smtp_mailer.h"
#include "engine/engine.h"
#include "engine/service_client.h"

namespace tarnwick {

ScheduledNotices::ScheduledNotices(Engine& engine, ServiceClient& client, SmtpMailer& mailer)
    : engine_(engine), client_(client), mailer_(mailer) {}

void ScheduledNotices::OnMinute() {
  if (HhMm(engine_.deps().clock.Now()) != "00:00") return;
  engine_.ResetSmsCount();
  engine_.Announce([](IEngineListener& l) { l.OnDayReset(); });
  ++dayCount_;
  if (engine_.session.reloginFlag == "1" && dayCount_ == 5) client_.ServiceLogin();
  if (dayCount_ >= 5) dayCount_ = 0;
}

void ScheduledNotices::OnAliveMinute() {
  --engine_.aliveCountdown;
  if (engine_.aliveCountdown >= 1) return;
  // min_Select is at least 1 once loaded; a text that is not one still waits a minute.
  const auto minutes = ToInt16(LeadingNumber(engine_.settings.min_Select));
  engine_.aliveCountdown = minutes && *minutes >= 1 ? *minutes : 1;
  if (engine_.settings.alive_Email == 1) sch_Notify(true);
}

void ScheduledNotices::sch_Notify(bool mail) {
  const std::string now = YmdHms(engine_.deps().clock.Now());
  const std::string subject = now + " Tarnwick program's log !! ";
  // The body is HTML: every value is escaped, so a process name or reply in the log shows as
  // text; the log's line ends still become "<br>" on the way to the mailer.
  const std::string logPart =
      HtmlEscape(engine_.lastUsageLine) + "<br><br>" + HtmlEscape(engine_.log().PaneText());
  std::string body = "<html><body> Good Day !! <br><br>Now is " + now +
                     "<br><br> Tarnwick program is up and running<br><br>Account : " +
                     HtmlEscape(engine_.settings.smsEmail) + " SMS credits " +
                     HtmlEscape(engine_.session.credits) + " left<br><br> Status Log : <br>" +
                     logPart + "<br><br><br>Textpost</body></html>";
  if (mail && !Trim(engine_.settings.mailTo1).empty()) {
    mailer_.SendMailViaSmtp(engine_.settings.mailTo1, body, subject);
  }
}

}  // namespace tarnwick
