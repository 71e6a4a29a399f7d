// mailcmdssl: sends one HTML mail for the monitor through the user's SMTP server, so a slow or
// dead server never holds up the monitor. The monitor writes the nine-field mailer text
// (delivery/mailer_text.h) to standard input; for a hand-run test the text may also be the first
// argument instead (it then shows in the process list, password included).
//
// Exit status: 0 the server took the mail, 2 the text was refused (field count or token), 3 the
// mail could not be sent. Any failure is told in one line on standard error.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "delivery/mailer_text.h"
#include "platform/curl/curl_smtp_client.h"

namespace {

constexpr int kExitSent = 0;
constexpr int kExitRefused = 2;
constexpr int kExitSendFailed = 3;
constexpr std::string_view kMessagePrefix = "mailcmdssl: ";
constexpr std::string_view kWrongToken = "wrong access token";

std::string ReadStandardInput() {
#ifdef _WIN32
  // In text mode Windows ends the input at Ctrl-Z and turns CR LF into LF.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  // The port is the last field, so a line end left by a hand-typed or echoed text goes.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

int Fail(int status, std::string_view reason) {
  std::cerr << kMessagePrefix << reason << '\n';
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string text = argc > 1 ? std::string(argv[1]) : ReadStandardInput();
  std::string error;
  const std::optional<tarnwick::MailerRequest> request = tarnwick::ParseMailerText(text, &error);
  if (!request) return Fail(kExitRefused, error);
  if (request->token != tarnwick::kMailerToken) return Fail(kExitRefused, kWrongToken);

  tarnwick::SmtpMail mail;
  mail.user = request->user;
  mail.password = request->password;
  mail.sender = request->sender;
  mail.recipients = request->recipients;
  mail.subject = request->subject;
  mail.htmlBody = request->body;
  mail.server = request->server;
  mail.port = request->port;
  tarnwick::CurlSmtpClient client;
  error = client.SendHtmlMail(mail);
  if (!error.empty()) return Fail(kExitSendFailed, error);
  return kExitSent;
}
