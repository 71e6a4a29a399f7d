// The bytes of one HTML mail as they go out after DATA: headers, a blank line, the body in
// base64. Base64 keeps every body line at 76 characters, so neither a long HTML line nor a line
// holding a lone "." can break the SMTP conversation.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/smtp_client.h"

namespace tarnwick {

// The recipients of a comma-separated list, blanks trimmed, empty entries left out.
std::vector<std::string> SplitRecipients(std::string_view recipients);

// True when the address can go into the SMTP envelope as it is: no control character (a CR or
// LF would end the command and start one of the address's own choosing) and no angle bracket.
bool IsEnvelopeSafe(std::string_view address);

// The recipients of the envelope: those of SplitRecipients that are envelope-safe; the others are
// refused.
std::vector<std::string> EnvelopeRecipients(std::string_view recipients);

// The sender's address for the envelope: the address inside "<...>" when the text ends in one
// ("Monitor <m@x.org>"), else the trimmed text. Refused (empty) by the rule that refuses a
// recipient: a control character anywhere (a CR or LF would end MAIL FROM and start a command
// of the sender's own choosing) or an angle bracket anywhere but around the address.
std::optional<std::string> EnvelopeSender(std::string_view sender);

// RFC 5322 date of `when` in local time, with English day and month names whatever the C
// locale says, e.g. "Thu, 04 Dec 2026 10:15:07 +0100".
std::string MailDate(std::time_t when);

// A header value with CR and LF turned into spaces (they would start a header of their own),
// written as RFC 2047 encoded words (=?UTF-8?B?...?=, folded) when it holds non-ASCII or control
// characters, something that looks like an encoded word, or would not fit a 78-character line
// after `headerName` and ": ".
std::string EncodeHeaderText(std::string_view headerName, std::string_view text);

// The From header's value for a sender written as "Name <address>" or as a bare address. The
// address goes out as it is, never encoded; so does a bare address. A name of ASCII letters,
// digits and blanks goes out as it is; one that holds other ASCII (a comma, a quote) goes out as
// one quoted string, so a mail client never reads it as two addresses; a name with non-ASCII
// or control characters, or with something that looks like an encoded word, goes out as RFC
// 2047 encoded words. A name given in quotes is taken without them.
std::string FromHeaderText(std::string_view sender);

// `data` in base64, 76 characters per line, each line ended by CR LF.
std::string Base64Lines(std::string_view data);

// The whole message with CR LF line ends, dated `when`.
std::string ComposeHtmlMessage(const SmtpMail& mail, std::time_t when);

}  // namespace tarnwick
