// The monitor's side of the second SMTP server: alert mails and the "I am alive" notice go out
// through the mailer program, started without waiting; the settings dialog's test mail goes out
// in-process so the user sees the server's answer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/mailer_launcher.h"
#include "platform/smtp_client.h"
#include "settings/settings.h"

namespace tarnwick {

// The mailer's file name in the program folder (plus the platform's executable suffix).
inline constexpr std::string_view kMailerProgramName = "mailcmdssl";

// The log line written for every mail handed to the mailer: prefix + recipients + middle + server.
inline constexpr std::string_view kMailingOutLogPrefix = "Mailing out log to ";
inline constexpr std::string_view kMailingOutLogServer = " via SMTP server ";
// The log line of a mail that did not leave: prefix + recipients + middle + server + failed +
// the mailer's one-line reason (or not started + the mailer's path).
inline constexpr std::string_view kMailFailedPrefix = "Mail to ";
inline constexpr std::string_view kMailFailedServer = " via SMTP server ";
inline constexpr std::string_view kMailFailed = " failed: ";
inline constexpr std::string_view kMailerNotStarted = " not sent: the mailer cannot be started: ";

class SmtpMailer {
 public:
  // `settings` is read at each send (mailSvr, SMTPport, mailFrom, MailUser, MailPass), so changes
  // made in the settings dialog apply to the next mail. `mailerPath` is the program folder plus
  // "/mailcmdssl". `writeLog` gets each log line without a line end; `writeFailure`, when given,
  // gets the lines of mails that did not leave instead.
  SmtpMailer(const Settings& settings, IMailerLauncher& launcher, std::string mailerPath,
             std::function<void(const std::string&)> writeLog,
             std::function<void(const std::string&)> writeFailure = {});

  // Hands one mail to the mailer program; true when the program was started. When it cannot be
  // started, the log gets the line that says so at once; when it ends without having sent the
  // mail, the line with its reason comes once it has ended. Neither stops the monitor.
  bool RunMailer(const std::string& recipients, const std::string& subject,
                 const std::string& body);

  // Turns every CR LF of `body` into "<br>" in the caller's variable, starts the mailer and, when
  // it started, writes the "Mailing out log" line: a log line never claims a mail that did not
  // leave. Callers pass the same variable as body and subject (the alert text serves as both);
  // the subject then goes out with the "<br>" too, as the body does.
  void SendMailViaSmtp(const std::string& recipients, std::string& body,
                       const std::string& subject);

 private:
  const Settings& settings_;
  IMailerLauncher& launcher_;
  std::string mailerPath_;
  std::function<void(const std::string&)> writeLog_;
  std::function<void(const std::string&)> writeFailure_;
  // Exits of runs that end after this mailer is gone find it expired and are dropped.
  std::shared_ptr<SmtpMailer*> self_ = std::make_shared<SmtpMailer*>(this);
};

// The settings dialog's test mail, sent in-process with the values typed in the dialog (not yet
// saved), without waiting: `sent` gets the client's one-line error, or empty when the server
// took the mail, later on the UI thread.
void SendMailCdo(IAsyncSmtpClient& client, const std::string& user, const std::string& password,
                 const std::string& sender, const std::string& recipients,
                 const std::string& subject, const std::string& htmlBody, const std::string& server,
                 const std::string& port, SmtpSent sent);
// The same, waiting for the answer; returns it.
std::string SendMailCdo(ISmtpClient& client, const std::string& user, const std::string& password,
                        const std::string& sender, const std::string& recipients,
                        const std::string& subject, const std::string& htmlBody,
                        const std::string& server, const std::string& port);

}  // namespace tarnwick
