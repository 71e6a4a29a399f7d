// IMailerLauncher with posix_spawn: a detached thread per run writes the text into the child's
// standard input, reads its standard error and reaps it, so no mailer is ever left as a zombie;
// then it posts the run's exit to the UI thread.
#pragma once

#include <string>

#include "platform/mailer_launcher.h"
#include "platform/ui_thread.h"

namespace tarnwick {

class PosixMailerLauncher final : public IMailerLauncher {
 public:
  // `post` carries each run's exit to the UI thread. A run still going after `timeLimitSeconds`
  // is stopped.
  explicit PosixMailerLauncher(PostToUiThread post, int timeLimitSeconds = kMailerTimeLimitSeconds);

  // The child inherits the environment (SSL_CERT_FILE among it) and standard output of this
  // process; its standard input and standard error are pipes to the watching thread.
  bool Start(const std::string& program, const std::string& standardInput,
             MailerFinished finished) override;

 private:
  PostToUiThread post_;
  int timeLimitSeconds_;
};

}  // namespace tarnwick
