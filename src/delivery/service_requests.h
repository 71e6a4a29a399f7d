// The requests of the web SMS/mail service and the reading of its login reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kLoginPath = "/textpost/php/sms_logon.php";
inline constexpr std::string_view kCreditPath = "/textpost/php/creditupdate.php";
inline constexpr std::string_view kSmsPath = "/textpost/php/smstoolsen.php";
inline constexpr std::string_view kMailAlertPath = "/textpost/php/mail_alert.php";

// The service host ("host", "host:port", "http://host[:port]" or "https://host[:port]"):
// TARNWICK_SERVICE_HOST when set and not blank, otherwise the default the program was built with.
std::string ServiceHost();

// The URL of a page of the service: "http://host/path" for a bare host, the configured scheme
// otherwise ("https://host:8443/path").
std::string ServiceUrl(std::string_view host, std::string_view path);

// Scheme and authority of the service's URLs for a host setting ("http://host" for a bare host).
std::string ServiceOrigin(std::string_view host);

// Every byte but the unreserved characters A-Z a-z 0-9 - . _ ~ becomes %XX, so each value
// reaches the service whole: a process name like "x&to=999" can add no parameter.
std::string PercentEncode(std::string_view value);

// Request URLs: ServiceUrl(host, path) + query, keys in the service's order, values encoded.
std::string BuildLoginUrl(std::string_view host, std::string_view email, std::string_view password,
                          std::string_view now);
std::string BuildCreditUpdateUrl(std::string_view host, std::string_view email,
                                 std::string_view now);
// `mailList` is added only when it qualifies (MailListQualifies).
std::string BuildSmsUrl(std::string_view host, int16_t unicode, std::string_view email,
                        std::string_view password, std::string_view apiId,
                        std::string_view recipients, std::string_view message,
                        std::string_view mailList);
std::string BuildMailAlertUrl(std::string_view host, std::string_view email,
                              std::string_view password, std::string_view mailList,
                              std::string_view message);

// A mail list rides with an SMS request when it is at least 8 characters long and holds "@".
bool MailListQualifies(std::string_view mailList);

// Reading of a login reply `r` (already lower-cased).
struct LoginReply {
  enum class Kind { Accepted, Refused, Unreadable } kind = Kind::Unreadable;
  std::string credits;      // Accepted only
  std::string apiId;        // Accepted only
  bool flagRead = false;    // the relogin flag was read (also when the "%" was then missing)
  std::string reloginFlag;  // valid when flagRead
};
LoginReply ParseLoginReply(std::string_view r);

// Next request number: 1 more, 0 after 30000.
int32_t NextRequestSeq(int32_t seq);

}  // namespace tarnwick
