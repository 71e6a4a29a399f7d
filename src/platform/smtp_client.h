// Sending one HTML mail through an SMTP server that wants TLS and AUTH.
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

// Everything one mail needs; the texts come straight from smtpsvr.ini or the settings dialog.
struct SmtpMail {
  std::string user;        // AUTH login; empty: no AUTH
  std::string password;    // AUTH password
  std::string sender;      // MAIL FROM and the From header
  std::string recipients;  // comma-separated addresses; blanks around them and empty ones ignored
  std::string subject;     // UTF-8; CR and LF turn into spaces
  std::string htmlBody;    // UTF-8 HTML, sent as is
  std::string server;      // host name or IP address
  std::string port;        // decimal text; "465" means TLS from the first byte, any other STARTTLS
};

class ISmtpClient {
 public:
  virtual ~ISmtpClient() = default;
  // Sends the mail and returns when the server has taken it or refused it, at most 60 s later
  // (of which at most 15 s to connect). Empty on success, otherwise one line telling why.
  virtual std::string SendHtmlMail(const SmtpMail& mail) = 0;
};

// What a mail sent without waiting comes back with: empty when the server took it, otherwise the
// one line of ISmtpClient::SendHtmlMail.
using SmtpSent = std::function<void(const std::string& error)>;

class IAsyncSmtpClient {
 public:
  virtual ~IAsyncSmtpClient() = default;
  // Starts sending the mail and returns at once: a server that accepts and then stays silent
  // holds up nobody. `sent` runs once the server has taken or refused the mail (at most 60 s
  // later, as SendHtmlMail), on the UI thread, between events (never inside this call).
  virtual void SendHtmlMailAsync(const SmtpMail& mail, SmtpSent sent) = 0;
};

}  // namespace tarnwick
