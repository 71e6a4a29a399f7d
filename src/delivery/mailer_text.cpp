#include "delivery/mailer_text.h"

#include <array>
#include <vector>

namespace tarnwick {

namespace {

constexpr std::string_view kEscapedPercent = "%25";
constexpr std::string_view kEscapedHash = "%23";
constexpr std::string_view kWrongFieldCount = "expected 9 fields separated by '#', got ";

}  // namespace

std::string EscapeMailerField(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '%') {
      out.append(kEscapedPercent);
    } else if (c == kMailerFieldSeparator) {
      out.append(kEscapedHash);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string UnescapeMailerField(std::string_view field) {
  // One pass from the left: "%2523" (an escaped "%23") must come back as "%23", not "#".
  std::string out;
  out.reserve(field.size());
  size_t i = 0;
  while (i < field.size()) {
    const std::string_view rest = field.substr(i);
    if (rest.starts_with(kEscapedPercent)) {
      out.push_back('%');
      i += kEscapedPercent.size();
    } else if (rest.starts_with(kEscapedHash)) {
      out.push_back(kMailerFieldSeparator);
      i += kEscapedHash.size();
    } else {
      out.push_back(field[i]);
      ++i;
    }
  }
  return out;
}

std::string FormatMailerText(const MailerRequest& r) {
  const std::array<const std::string*, kMailerFieldCount> fields = {
      &r.token,   &r.user, &r.password, &r.sender, &r.recipients,
      &r.subject, &r.body, &r.server,   &r.port};
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out.push_back(kMailerFieldSeparator);
    out.append(EscapeMailerField(*fields[i]));
  }
  return out;
}

std::optional<MailerRequest> ParseMailerText(std::string_view text, std::string* error) {
  std::vector<std::string_view> parts;
  size_t begin = 0;
  while (true) {
    const size_t hit = text.find(kMailerFieldSeparator, begin);
    if (hit == std::string_view::npos) {
      parts.push_back(text.substr(begin));
      break;
    }
    parts.push_back(text.substr(begin, hit - begin));
    begin = hit + 1;
  }
  if (parts.size() != kMailerFieldCount) {
    if (error != nullptr) *error = std::string(kWrongFieldCount) + std::to_string(parts.size());
    return std::nullopt;
  }
  MailerRequest r;
  const std::array<std::string*, kMailerFieldCount> fields = {&r.token,  &r.user,       &r.password,
                                                              &r.sender, &r.recipients, &r.subject,
                                                              &r.body,   &r.server,     &r.port};
  for (size_t i = 0; i < fields.size(); ++i) *fields[i] = UnescapeMailerField(parts[i]);
  return r;
}

}  // namespace tarnwick
