#include "delivery/service_requests.h"

#include <cstdlib>
#include <optional>

#include "common/text.h"
#include "domain/url_rules.h"

#ifndef TARNWICK_SERVICE_HOST_DEFAULT
#define TARNWICK_SERVICE_HOST_DEFAULT "textpost.example"
#endif

namespace tarnwick {
namespace {

std::string Url(std::string_view host, std::string_view path) {
  return ServiceUrl(host, path);
}

}  // namespace

std::string ServiceOrigin(std::string_view host) {
  // A host that is no host at all is used as written, and the read of it fails.
  const std::optional<std::string> base = ServiceBaseUrl(host);
  return base ? *base : "http://" + std::string(host);
}

std::string ServiceUrl(std::string_view host, std::string_view path) {
  return ServiceOrigin(host) + std::string(path);
}

std::string ServiceHost() {
  const char* fromEnvironment = std::getenv("TARNWICK_SERVICE_HOST");
  if (fromEnvironment != nullptr && !Trim(fromEnvironment).empty()) {
    return TrimCopy(fromEnvironment);
  }
  return TARNWICK_SERVICE_HOST_DEFAULT;
}

std::string PercentEncode(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    }
  }
  return out;
}

std::string BuildLoginUrl(std::string_view host, std::string_view email, std::string_view password,
                          std::string_view now) {
  return Url(host, kLoginPath) + "?email=" + PercentEncode(email) +
         "&pwd=" + PercentEncode(password) + "&now=" + PercentEncode(now);
}

std::string BuildCreditUpdateUrl(std::string_view host, std::string_view email,
                                 std::string_view now) {
  return Url(host, kCreditPath) + "?email=" + PercentEncode(email) + "&now=" + PercentEncode(now);
}

std::string BuildSmsUrl(std::string_view host, int16_t unicode, std::string_view email,
                        std::string_view password, std::string_view apiId,
                        std::string_view recipients, std::string_view message,
                        std::string_view mailList) {
  std::string url =
      Url(host, kSmsPath) + "?api_id=" + PercentEncode(apiId) + "&email=" + PercentEncode(email) +
      "&pwd=" + PercentEncode(password) + "&to=" + PercentEncode(recipients) +
      "&from=" + "&unicode=" + std::to_string(unicode) + "&text=" + PercentEncode(message);
  if (MailListQualifies(mailList)) url += "&email_list=" + PercentEncode(mailList);
  return url;
}

std::string BuildMailAlertUrl(std::string_view host, std::string_view email,
                              std::string_view password, std::string_view mailList,
                              std::string_view message) {
  return Url(host, kMailAlertPath) + "?email=" + PercentEncode(email) +
         "&pwd=" + PercentEncode(password) + "&email_list=" + PercentEncode(mailList) +
         "&text=" + PercentEncode(message);
}

bool MailListQualifies(std::string_view mailList) {
  return mailList.size() >= 8 && Contains(mailList, "@");
}

LoginReply ParseLoginReply(std::string_view r) {
  LoginReply reply;
  if (StartsWith(r, "-err")) {
    reply.kind = LoginReply::Kind::Refused;
    return reply;
  }
  const size_t first = r.find('*');
  if (first == std::string_view::npos) return reply;
  const size_t second = r.find('*', first + 1);
  if (second == std::string_view::npos) return reply;
  // The flag is the character right after the second "*"; the next one is a separator.
  if (second + 1 < r.size()) {
    reply.flagRead = true;
    reply.reloginFlag = std::string(r.substr(second + 1, 1));
  } else {
    reply.flagRead = true;
    reply.reloginFlag.clear();
  }
  const size_t idStart = second + 3;
  if (idStart > r.size()) return reply;
  const size_t percent = r.find('%', idStart);
  if (percent == std::string_view::npos) return reply;
  reply.kind = LoginReply::Kind::Accepted;
  reply.credits = std::string(r.substr(first + 1, second - first - 1));
  reply.apiId = std::string(r.substr(idStart, percent - idStart));
  return reply;
}

int32_t NextRequestSeq(int32_t seq) {
  return seq >= 30000 ? 0 : seq + 1;
}

}  // namespace tarnwick
