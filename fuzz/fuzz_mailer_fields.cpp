// Feeds arbitrary bytes to the mailer's fields: the text the monitor hands mailcmdssl, and the
// envelope and headers the mailer builds from it. Traps when a field does not come back whole or
// when a line break reaches the SMTP envelope or starts a header of its own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/mailer_text.h"
#include "platform/curl/smtp_message.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Any value survives the escaping whole, and any text parses or is refused without harm.
  Check(tarnwick::UnescapeMailerField(tarnwick::EscapeMailerField(input)) == input);
  if (const auto parsed = tarnwick::ParseMailerText(input)) {
    Check(tarnwick::ParseMailerText(tarnwick::FormatMailerText(*parsed)).has_value());
  }

  // Nine fields cut from the input, formatted and parsed back.
  tarnwick::MailerRequest request;
  std::string* fields[] = {&request.token,  &request.user,       &request.password,
                           &request.sender, &request.recipients, &request.subject,
                           &request.body,   &request.server,     &request.port};
  const size_t piece = input.size() / 9 + 1;
  for (size_t i = 0; i < 9; ++i) {
    const size_t start = i * piece < input.size() ? i * piece : input.size();
    *fields[i] = std::string(input.substr(start, piece));
  }
  const auto back = tarnwick::ParseMailerText(tarnwick::FormatMailerText(request));
  Check(back.has_value() && back->recipients == request.recipients && back->body == request.body);

  // The envelope never carries a line break; headers never start a line of their own.
  for (const std::string& recipient : tarnwick::EnvelopeRecipients(request.recipients)) {
    Check(!HasLineBreak(recipient) && tarnwick::IsEnvelopeSafe(recipient));
  }
  tarnwick::SmtpMail mail;
  mail.sender = request.sender;
  mail.recipients = request.recipients;
  mail.subject = request.subject;
  mail.htmlBody = request.body;
  const std::string message = tarnwick::ComposeHtmlMessage(mail, 0);
  const std::string headers = message.substr(0, message.find("\r\n\r\n"));
  for (size_t at = headers.find('\n'); at != std::string::npos; at = headers.find('\n', at + 1)) {
    // Every line break is CR LF, and a following line is a folded one or a known header.
    Check(at > 0 && headers[at - 1] == '\r');
    const char next = at + 1 < headers.size() ? headers[at + 1] : ' ';
    const std::string_view rest = std::string_view(headers).substr(at + 1);
    const bool folded = next == ' ' || next == '\t';
    const bool known = rest.starts_with("From: ") || rest.starts_with("To: ") ||
                       rest.starts_with("Subject: ") || rest.starts_with("Date: ") ||
                       rest.starts_with("MIME-Version: ") || rest.starts_with("Content-Type: ") ||
                       rest.starts_with("Content-Transfer-Encoding: ");
    Check(folded || known);
  }
  return 0;
}
