// ISmtpClient on libcurl: TLS always (port 465 from the first byte, any other port by STARTTLS,
// which must succeed), the server's certificate always checked.
#pragma once

#include <string>
#include <string_view>

#include "platform/smtp_client.h"

namespace tarnwick {

// The error for a mail whose recipient list holds no address.
inline constexpr std::string_view kNoRecipientsError = "No recipients";
// The error for a sender that the envelope refuses (EnvelopeSender).
inline constexpr std::string_view kUnsafeSenderError =
    "Sender address holds a line break, a control character or a misplaced angle bracket";

class CurlSmtpClient final : public ISmtpClient {
 public:
  // The trusted CAs are the system's, or the file named by the environment variable
  // SSL_CERT_FILE when it is set (as the curl tool does).
  std::string SendHtmlMail(const SmtpMail& mail) override;
};

}  // namespace tarnwick
