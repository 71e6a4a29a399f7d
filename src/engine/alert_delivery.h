// Everything that takes alerts out of the program, owned by the engine: the three URL
// readers, the mailer, the web service client, the dispatcher and the scheduled notices.
#pragma once

#include <memory>

#include "delivery/async_read.h"
#include "delivery/smtp_mailer.h"
#include "engine/alert_dispatcher.h"
#include "engine/scheduled_notices.h"
#include "engine/service_client.h"

namespace tarnwick {

class Engine;

class AlertDelivery {
 public:
  AlertDelivery(Engine& engine, IUrlTransport& transport, IMailerLauncher& launcher,
                const std::string& mailerPath);

  AsyncRead AsyncRead1;  // login and send-SMS requests
  AsyncRead AsyncRead2;  // credit updates
  AsyncRead AsyncRead3;  // mail-only alerts; nothing reads their replies
  SmtpMailer mailer;
  ServiceClient client;
  AlertDispatcher dispatcher;
  ScheduledNotices notices;
};

}  // namespace tarnwick
