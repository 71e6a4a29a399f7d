#include "delivery/smtp_mailer.h"

#include <utility>

#include "common/text.h"
#include "delivery/mailer_text.h"

namespace tarnwick {

namespace {

constexpr std::string_view kHtmlLineBreak = "<br>";

// A value as part of one log line: a line break or other control character in it becomes a
// blank, so that no value can start a line of its own in the log.
std::string OneLogLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

}  // namespace

SmtpMailer::SmtpMailer(const Settings& settings, IMailerLauncher& launcher, std::string mailerPath,
                       std::function<void(const std::string&)> writeLog,
                       std::function<void(const std::string&)> writeFailure)
    : settings_(settings),
      launcher_(launcher),
      mailerPath_(std::move(mailerPath)),
      writeLog_(std::move(writeLog)),
      writeFailure_(writeFailure ? std::move(writeFailure) : writeLog_) {}

bool SmtpMailer::RunMailer(const std::string& recipients, const std::string& subject,
                           const std::string& body) {
  MailerRequest request;
  request.token = std::string(kMailerToken);
  request.user = settings_.MailUser;
  request.password = settings_.MailPass;
  request.sender = settings_.mailFrom;
  request.recipients = recipients;
  request.subject = subject;
  request.body = body;
  request.server = settings_.mailSvr;
  request.port = settings_.SMTPport;
  // The line names the server the mail went to, even when the settings change meanwhile.
  const std::string failedLine = std::string(kMailFailedPrefix) + OneLogLine(recipients) +
                                 std::string(kMailFailedServer) + OneLogLine(settings_.mailSvr) +
                                 std::string(kMailFailed);
  std::weak_ptr<SmtpMailer*> self = self_;
  const bool started = launcher_.Start(
      mailerPath_, FormatMailerText(request), [self, failedLine](const MailerExit& outcome) {
        const auto mailer = self.lock();
        if (!mailer || outcome.sent || !(*mailer)->writeFailure_) return;
        (*mailer)->writeFailure_(failedLine + OneLogLine(outcome.reason));
      });
  if (!started && writeFailure_) {
    writeFailure_(std::string(kMailFailedPrefix) + OneLogLine(recipients) +
                  std::string(kMailerNotStarted) + mailerPath_);
  }
  return started;
}

void SmtpMailer::SendMailViaSmtp(const std::string& recipients, std::string& body,
                                 const std::string& subject) {
  // `subject` may name the same variable as `body`: it is read only after the assignment, so an
  // aliased subject carries the "<br>" as well.
  body = ReplaceAll(body, kCrLf, kHtmlLineBreak);
  if (!RunMailer(recipients, subject, body)) return;
  if (writeLog_) {
    writeLog_(std::string(kMailingOutLogPrefix) + recipients + std::string(kMailingOutLogServer) +
              settings_.mailSvr);
  }
}

namespace {

SmtpMail MakeMail(const std::string& user, const std::string& password, const std::string& sender,
                  const std::string& recipients, const std::string& subject,
                  const std::string& htmlBody, const std::string& server, const std::string& port) {
  SmtpMail mail;
  mail.user = user;
  mail.password = password;
  mail.sender = sender;
  mail.recipients = recipients;
  mail.subject = subject;
  mail.htmlBody = htmlBody;
  mail.server = server;
  mail.port = port;
  return mail;
}

}  // namespace

void SendMailCdo(IAsyncSmtpClient& client, const std::string& user, const std::string& password,
                 const std::string& sender, const std::string& recipients,
                 const std::string& subject, const std::string& htmlBody, const std::string& server,
                 const std::string& port, SmtpSent sent) {
  client.SendHtmlMailAsync(
      MakeMail(user, password, sender, recipients, subject, htmlBody, server, port),
      std::move(sent));
}

std::string SendMailCdo(ISmtpClient& client, const std::string& user, const std::string& password,
                        const std::string& sender, const std::string& recipients,
                        const std::string& subject, const std::string& htmlBody,
                        const std::string& server, const std::string& port) {
  return client.SendHtmlMail(
      MakeMail(user, password, sender, recipients, subject, htmlBody, server, port));
}

}  // namespace tarnwick
