// IMailerLauncher with CreateProcessW: no shell and no command line to parse (the program alone,
// quoted), no console window. A detached thread per run feeds the text into the child's standard
// input and reads its standard error (each through a thread of its own, as anonymous pipes know no
// waiting on both at once), waits for the child's end, stops it at the time limit, closes its
// handles and posts the run's exit to the UI thread.
#pragma once

#include <string>

#include "platform/mailer_launcher.h"
#include "platform/ui_thread.h"

namespace tarnwick {

class WindowsMailerLauncher final : public IMailerLauncher {
 public:
  // `post` carries each run's exit to the UI thread. A run still going after `timeLimitSeconds`
  // is terminated.
  explicit WindowsMailerLauncher(PostToUiThread post,
                                 int timeLimitSeconds = kMailerTimeLimitSeconds);

  // The child inherits the environment and standard output of this process; its standard input
  // and standard error are pipes to the watching thread, and it inherits no other handle.
  bool Start(const std::string& program, const std::string& standardInput,
             MailerFinished finished) override;

 private:
  PostToUiThread post_;
  int timeLimitSeconds_;
};

}  // namespace tarnwick
