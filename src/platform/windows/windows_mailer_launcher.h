// IMailerLauncher with CreateProcessW: no shell and no command line to parse (the program alone,
// quoted), no console window. The text goes through a pipe written by a detached thread, which
// then waits for the child and closes its handles.
#pragma once

#include <string>

#include "platform/mailer_launcher.h"

namespace tarnwick {

class WindowsMailerLauncher final : public IMailerLauncher {
 public:
  // The child inherits the environment, standard output and standard error of this process; only
  // its standard input is the pipe, and it inherits no other handle.
  bool Start(const std::string& program, const std::string& standardInput) override;
};

}  // namespace tarnwick
