// The timed duties of alert delivery: the midnight reset with the fifth-midnight login (the
// minute timer) and the "I am alive" notice (the notice's timer).
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class Engine;
class ServiceClient;
class SmtpMailer;

class ScheduledNotices {
 public:
  ScheduledNotices(Engine& engine, ServiceClient& client, SmtpMailer& mailer);

  // Every minute for the whole run; acts only within the minute 00:00.
  void OnMinute();
  // Every minute while the notice is on: counts aliveCountdown down to the next notice.
  void OnAliveMinute();
  // Composes the notice with the latest usage line and the log pane; mails it when `mail`.
  void sch_Notify(bool mail);

  int16_t dayCount() const { return dayCount_; }

 private:
  Engine& engine_;
  ServiceClient& client_;
  SmtpMailer& mailer_;
  int16_t dayCount_ = 0;  // midnights since start-up, 0 to 4 between ticks
};

}  // namespace tarnwick
