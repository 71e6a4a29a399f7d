#include "alerts/smtp_mailer.h"

#include <utility>

#include "alerts/mailer_text.h"
#include "common/text.h"

namespace tarnwick {

namespace {

constexpr std::string_view kHtmlLineBreak = "<br>";

}  // namespace

SmtpMailer::SmtpMailer(const Settings& settings, IMailerLauncher& launcher, std::string mailerPath,
                       std::function<void(const std::string&)> writeLog)
    : settings_(settings),
      launcher_(launcher),
      mailerPath_(std::move(mailerPath)),
      writeLog_(std::move(writeLog)) {}

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
  return launcher_.Start(mailerPath_, FormatMailerText(request));
}

void SmtpMailer::SendMailViaSmtp(const std::string& recipients, std::string& body,
                                 const std::string& subject) {
  // `subject` may name the same variable as `body`: it is read only after the assignment, so an
  // aliased subject carries the "<br>" as well.
  body = ReplaceAll(body, kCrLf, kHtmlLineBreak);
  RunMailer(recipients, subject, body);
  if (writeLog_) {
    writeLog_(std::string(kMailingOutLogPrefix) + recipients + std::string(kMailingOutLogServer) +
              settings_.mailSvr);
  }
}

std::string SendMailCdo(ISmtpClient& client, const std::string& user, const std::string& password,
                        const std::string& sender, const std::string& recipients,
                        const std::string& subject, const std::string& htmlBody,
                        const std::string& server, const std::string& port) {
  SmtpMail mail;
  mail.user = user;
  mail.password = password;
  mail.sender = sender;
  mail.recipients = recipients;
  mail.subject = subject;
  mail.htmlBody = htmlBody;
  mail.server = server;
  mail.port = port;
  return client.SendHtmlMail(mail);
}

}  // namespace tarnwick
