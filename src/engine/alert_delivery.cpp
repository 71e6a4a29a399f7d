#include "engine/alert_delivery.h"

#include "forms/main_window_model.h"

namespace tarnwick {

AlertDelivery::AlertDelivery(MainWindowModel& window, IUrlTransport& transport,
                             IMailerLauncher& launcher, const std::string& mailerPath)
    : AsyncRead1(transport),
      AsyncRead2(transport),
      AsyncRead3(transport),
      mailer(window.settings, launcher, mailerPath,
             [&window](const std::string& line) { window.WriteLog(line); }),
      client(window, AsyncRead1, AsyncRead2, mailer),
      dispatcher(window, client, AsyncRead1, AsyncRead3),
      notices(window, client, mailer) {
  AsyncRead1.AsyncReadComplete = [this](AsyncRead& reader, const AsyncProperty& completion) {
    client.OnRead1Complete(reader, completion);
  };
  AsyncRead2.AsyncReadComplete = [this](AsyncRead& reader, const AsyncProperty& completion) {
    client.OnRead2Complete(reader, completion);
  };
}

}  // namespace tarnwick
