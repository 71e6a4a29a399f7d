// Starting the mailer program (mailcmdssl) without waiting for it.
#pragma once

#include <string>

namespace tarnwick {

class IMailerLauncher {
 public:
  virtual ~IMailerLauncher() = default;
  // Starts `program` (a full path, no arguments, no shell) and hands it `standardInput` as its
  // whole standard input, then end of file. Returns at once: the text is written and the program
  // reaped in the background, so neither a slow reader nor a text of several hundred KB holds up
  // the caller. False when the program is missing, not executable or cannot be started.
  virtual bool Start(const std::string& program, const std::string& standardInput) = 0;
};

}  // namespace tarnwick
