// IMailerLauncher with posix_spawn: the text goes through a pipe written by a detached thread,
// which then reaps the child, so no mailer is ever left as a zombie.
#pragma once

#include <string>

#include "platform/mailer_launcher.h"

namespace tarnwick {

class PosixMailerLauncher final : public IMailerLauncher {
 public:
  // The child inherits the environment (SSL_CERT_FILE among it), standard output and standard
  // error of this process; only its standard input is the pipe.
  bool Start(const std::string& program, const std::string& standardInput) override;
};

}  // namespace tarnwick
