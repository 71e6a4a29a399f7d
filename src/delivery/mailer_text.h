// The one text by which the monitor hands a mail to mailcmdssl: nine fields joined by '#'.
// The text goes over the mailer's standard input because it holds the SMTP password, and a
// command line can be read by every local user (/proc/<pid>/cmdline).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Proves to mailcmdssl that the text came from the monitor; the first field.
inline constexpr std::string_view kMailerToken = "TWK43MLR";
inline constexpr char kMailerFieldSeparator = '#';
inline constexpr size_t kMailerFieldCount = 9;

// The fields in their order in the text.
struct MailerRequest {
  std::string token;
  std::string user;
  std::string password;
  std::string sender;
  std::string recipients;  // comma-separated
  std::string subject;
  std::string body;  // HTML
  std::string server;
  std::string port;
};

// Inside a field "%" is written "%25" and "#" is written "%23", so any value survives whole.
std::string EscapeMailerField(std::string_view value);
// The inverse: only "%25" and "%23" are escapes; any other "%" stays as it is.
std::string UnescapeMailerField(std::string_view field);

// The nine escaped fields joined by '#'. The token field is written as the request holds it.
std::string FormatMailerText(const MailerRequest& request);

// Splits on '#' first, then unescapes each field. Empty when the text does not have exactly nine
// fields; `error` (when given) then gets one line telling so. The token is not checked here.
std::optional<MailerRequest> ParseMailerText(std::string_view text, std::string* error = nullptr);

}  // namespace tarnwick
