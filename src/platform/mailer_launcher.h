// Starting the mailer program (mailcmdssl) without waiting for it, and hearing how it ended.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tarnwick {

// How one run of the mailer ended.
struct MailerExit {
  // The mailer ended with status 0: the server took the mail.
  bool sent = false;
  // When not sent: one line, without a line end, telling why. The first line the mailer wrote to
  // its standard error (at most kMailerReasonLimit bytes); when it wrote none, what the launcher
  // saw: the exit status, the signal that ended it, or that it took too long and was stopped.
  std::string reason;
};

using MailerFinished = std::function<void(const MailerExit&)>;

// The longest reason kept from the mailer's standard error, in bytes.
inline constexpr size_t kMailerReasonLimit = 300;

// The reason taken from what the mailer wrote to its standard error: the first line, cut to the
// limit; any other control character becomes a blank, so the reason can never start a line of
// its own in a log. Both launchers use it, so the reason reads the same on every system.
inline std::string MailerReasonLine(const std::string& standardError) {
  std::string line = standardError.substr(0, standardError.find_first_of("\r\n"));
  if (line.size() > kMailerReasonLimit) line.resize(kMailerReasonLimit);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

// A mailer still running this long after its start is stopped and reported as failed. The mailer
// gives up on a server by itself after at most a minute.
inline constexpr int kMailerTimeLimitSeconds = 120;

class IMailerLauncher {
 public:
  virtual ~IMailerLauncher() = default;
  // Starts `program` (a full path, no arguments, no shell) and hands it `standardInput` as its
  // whole standard input, then end of file. Returns at once: the text is written, the standard
  // error read and the program reaped in the background, so neither a slow reader, a text of
  // several hundred KB nor a silent server holds up the caller. Once the program has ended,
  // `finished` runs with its exit on the UI thread, between events (never inside Start).
  // False when the program is missing, not executable or cannot be started; `finished` is then
  // never called.
  virtual bool Start(const std::string& program, const std::string& standardInput,
                     MailerFinished finished) = 0;
};

}  // namespace tarnwick
