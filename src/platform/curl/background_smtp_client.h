// IAsyncSmtpClient over libcurl: each mail goes out through its own CurlSmtpClient on a thread of
// its own, and the answer comes back through the UI thread's poster.
#pragma once

#include "platform/smtp_client.h"
#include "platform/ui_thread.h"

namespace tarnwick {

class BackgroundSmtpClient final : public IAsyncSmtpClient {
 public:
  explicit BackgroundSmtpClient(PostToUiThread post);

  // The thread holds nothing of this object: it may end after the object is gone, and its answer
  // is then dropped by the poster once the UI has ended. A thread that cannot be started gives
  // its reason as the answer.
  void SendHtmlMailAsync(const SmtpMail& mail, SmtpSent sent) override;

 private:
  PostToUiThread post_;
};

}  // namespace tarnwick
