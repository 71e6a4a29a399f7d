#include "platform/curl/smtp_message.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "common/mail_date.h"
#include "common/text.h"
#include "platform/local_time.h"

namespace tarnwick {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// RFC 2045: base64 lines of at most 76 characters.
constexpr size_t kBase64LineLength = 76;
// RFC 5322 recommends header lines of at most 78 characters.
constexpr size_t kHeaderLineLength = 78;
// RFC 2047: an encoded word is at most 75 characters, "=?UTF-8?B?" and "?=" among them.
constexpr std::string_view kEncodedWordStart = "=?UTF-8?B?";
constexpr std::string_view kEncodedWordEnd = "?=";
constexpr size_t kEncodedWordLength = 75;
constexpr std::string_view kFold = "\r\n ";

std::string Base64(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const unsigned n = static_cast<unsigned char>(data[i]) << 16 |
                       static_cast<unsigned char>(data[i + 1]) << 8 |
                       static_cast<unsigned char>(data[i + 2]);
    out.push_back(kBase64Alphabet[n >> 18 & 63]);
    out.push_back(kBase64Alphabet[n >> 12 & 63]);
    out.push_back(kBase64Alphabet[n >> 6 & 63]);
    out.push_back(kBase64Alphabet[n & 63]);
  }
  const size_t rest = data.size() - i;
  if (rest > 0) {
    unsigned n = static_cast<unsigned char>(data[i]) << 16;
    if (rest == 2) n |= static_cast<unsigned char>(data[i + 1]) << 8;
    out.push_back(kBase64Alphabet[n >> 18 & 63]);
    out.push_back(kBase64Alphabet[n >> 12 & 63]);
    out.push_back(rest == 2 ? kBase64Alphabet[n >> 6 & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

bool NeedsEncoding(std::string_view text, size_t firstLineRoom) {
  if (text.size() > firstLineRoom || Contains(text, "=?")) return true;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte == 0x7f || (byte < 0x20 && byte != '\t')) return true;
  }
  return false;
}

// Bytes an encoded word can carry on a line with `room` characters left.
size_t EncodedWordBytes(size_t room) {
  const size_t overhead = kEncodedWordStart.size() + kEncodedWordEnd.size();
  const size_t length = std::min(room, kEncodedWordLength);
  return length > overhead + 4 ? (length - overhead) / 4 * 3 : 3;
}

// Bytes of `text` from `begin`, at most `maxBytes`, that end on a character boundary: a
// continuation byte (10xxxxxx) never starts the next word. Always at least one byte.
size_t ChunkLength(std::string_view text, size_t begin, size_t maxBytes) {
  size_t length = std::min(maxBytes, text.size() - begin);
  if (begin + length < text.size()) {
    size_t cut = length;
    while (cut > 0 && (static_cast<unsigned char>(text[begin + cut]) & 0xC0) == 0x80) --cut;
    if (cut > 0) length = cut;
  }
  return length;
}

// RFC 5322 atext and blanks: a display name of only these needs no quotes.
bool IsPlainPhrase(std::string_view name) {
  constexpr std::string_view kAtextSigns = "!#$%&'*+-/=?^_`{|}~ ";
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (byte >= 0x80 || (!alnum && kAtextSigns.find(c) == std::string_view::npos)) return false;
  }
  return true;
}

// The name of "\"Ops, Team\" <...>" without its quotes and escapes.
std::string_view UnquotedName(std::string_view name, std::string& storage) {
  if (name.size() < 2 || name.front() != '"' || name.back() != '"') return name;
  storage.clear();
  for (size_t i = 1; i + 1 < name.size(); ++i) {
    if (name[i] == '\\' && i + 2 < name.size()) ++i;
    storage.push_back(name[i]);
  }
  return storage;
}

}  // namespace

std::vector<std::string> SplitRecipients(std::string_view recipients) {
  std::vector<std::string> out;
  size_t begin = 0;
  while (begin <= recipients.size()) {
    size_t end = recipients.find(',', begin);
    if (end == std::string_view::npos) end = recipients.size();
    const std::string_view one = TrimSpacesAndTabs(recipients.substr(begin, end - begin));
    if (!one.empty()) out.emplace_back(one);
    begin = end + 1;
  }
  return out;
}

bool IsEnvelopeSafe(std::string_view address) {
  for (char ch : address) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f || c == '<' || c == '>') return false;
  }
  return true;
}

std::vector<std::string> EnvelopeRecipients(std::string_view recipients) {
  std::vector<std::string> out = SplitRecipients(recipients);
  std::erase_if(out, [](const std::string& one) { return !IsEnvelopeSafe(one); });
  return out;
}

std::optional<std::string> EnvelopeSender(std::string_view sender) {
  const std::string_view text = TrimSpacesAndTabs(sender);
  std::string_view address = text;
  if (!text.empty() && text.back() == '>') {
    const size_t open = text.rfind('<');
    if (open == std::string_view::npos || !IsEnvelopeSafe(text.substr(0, open))) return {};
    address = TrimSpacesAndTabs(text.substr(open + 1, text.size() - open - 2));
  }
  if (!IsEnvelopeSafe(address)) return {};
  return std::string(address);
}

std::string MailDate(std::time_t when) {
  const ZonedTime zoned = LocalTimeAt(static_cast<int64_t>(when));
  return MailDateText(zoned.local, zoned.utcOffsetMinutes);
}

std::string EncodeHeaderText(std::string_view headerName, std::string_view text) {
  const std::string clean = WithoutLineBreaks(text);
  const size_t used = headerName.size() + 2;
  const size_t room = kHeaderLineLength > used ? kHeaderLineLength - used : 0;
  if (!NeedsEncoding(clean, room)) return clean;
  std::string out;
  size_t begin = 0;
  while (begin < clean.size()) {
    // The first word shares its line with the header name, the others follow a folding blank.
    const size_t lineRoom = out.empty() ? room : kHeaderLineLength - 1;
    const size_t length = ChunkLength(clean, begin, EncodedWordBytes(lineRoom));
    if (!out.empty()) out.append(kFold);
    out.append(kEncodedWordStart);
    out.append(Base64(std::string_view(clean).substr(begin, length)));
    out.append(kEncodedWordEnd);
    begin += length;
  }
  return out;
}

std::string FromHeaderText(std::string_view sender) {
  const std::string clean = WithoutLineBreaks(sender);
  const std::string_view text = TrimSpacesAndTabs(clean);
  const size_t open = text.rfind('<');
  if (text.empty() || text.back() != '>' || open == std::string_view::npos)
    return std::string(text);
  std::string unquoted;
  const std::string_view name = UnquotedName(TrimSpacesAndTabs(text.substr(0, open)), unquoted);
  const std::string_view address = text.substr(open);
  if (name.empty()) return std::string(address);
  std::string out = EncodeHeaderText("From", name);
  if (out == name && !IsPlainPhrase(name)) {
    out = "\"";
    for (char c : name) {
      if (c == '"' || c == '\\') out.push_back('\\');
      out.push_back(c);
    }
    out.push_back('"');
  }
  // The address starts a line of its own when it would not fit after the name's last line.
  const size_t lastLine = out.rfind(kFold);
  const size_t lastLineLength =
      lastLine == std::string::npos ? 6 + out.size() : out.size() - lastLine - 2;
  out.append(lastLineLength + 1 + address.size() > kHeaderLineLength ? kFold : " ");
  out.append(address);
  return out;
}

std::string Base64Lines(std::string_view data) {
  const std::string encoded = Base64(data);
  std::string out;
  out.reserve(encoded.size() + encoded.size() / kBase64LineLength * 2 + 2);
  for (size_t i = 0; i < encoded.size(); i += kBase64LineLength) {
    out.append(encoded, i, kBase64LineLength);
    out.append(kCrLf);
  }
  return out;
}

std::string ComposeHtmlMessage(const SmtpMail& mail, std::time_t when) {
  // The To line lists the envelope recipients, folded between addresses to keep lines short.
  std::string to;
  size_t lineLength = 4;  // "To: "
  for (const std::string& recipient : SplitRecipients(WithoutLineBreaks(mail.recipients))) {
    if (!to.empty()) {
      to.push_back(',');
      if (lineLength + recipient.size() + 2 > kHeaderLineLength) {
        to.append(kFold);
        lineLength = 1;
      } else {
        to.push_back(' ');
        lineLength += 2;
      }
    }
    to.append(recipient);
    lineLength += recipient.size();
  }
  std::string out;
  out.append("Date: ").append(MailDate(when)).append(kCrLf);
  out.append("From: ").append(FromHeaderText(mail.sender)).append(kCrLf);
  out.append("To: ").append(to).append(kCrLf);
  out.append("Subject: ").append(EncodeHeaderText("Subject", mail.subject)).append(kCrLf);
  out.append("MIME-Version: 1.0").append(kCrLf);
  out.append("Content-Type: text/html; charset=UTF-8").append(kCrLf);
  out.append("Content-Transfer-Encoding: base64").append(kCrLf);
  out.append(kCrLf);
  out.append(Base64Lines(mail.htmlBody));
  return out;
}

}  // namespace tarnwick
