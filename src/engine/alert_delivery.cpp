#include "engine/alert_delivery.h"

#include "engine/engine.h"

namespace tarnwick {

AlertDelivery::AlertDelivery(Engine& engine, IUrlTransport& transport, IMailerLauncher& launcher,
                             const std::string& mailerPath)
    : AsyncRead1(transport),
      AsyncRead2(transport),
      AsyncRead3(transport),
      mailer(
          engine.settings, launcher, mailerPath,
          [&engine](const std::string& line) { engine.WriteLog(line); },
          [&engine](const std::string& line) {
            engine.ReportFailure(FailureResult::Kind::Mail, line);
          }),
      client(engine, AsyncRead1, AsyncRead2, mailer),
      dispatcher(engine, client, AsyncRead1, AsyncRead3),
      notices(engine, client, mailer) {
  AsyncRead1.AsyncReadComplete = [this](AsyncRead& reader, const AsyncProperty& completion) {
    client.OnRead1Complete(reader, completion);
  };
  AsyncRead2.AsyncReadComplete = [this](AsyncRead& reader, const AsyncProperty& completion) {
    client.OnRead2Complete(reader, completion);
  };
}

}  // namespace tarnwick
