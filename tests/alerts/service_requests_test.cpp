#include "delivery/service_requests.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "delivery/html_text.h"
#include "domain/url_rules.h"

#include "support/environment.h"

namespace tarnwick {
namespace {

TEST(PercentEncode, KeepsUnreservedCharactersAndEncodesEveryOtherByte) {
  EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(PercentEncode("x&to=999#y %z"), "x%26to%3D999%23y%20%25z");
  EXPECT_EQ(PercentEncode("a+b\r\n*"), "a%2Bb%0D%0A%2A");
  EXPECT_EQ(PercentEncode("\xC3\xA9"), "%C3%A9");
  EXPECT_EQ(PercentEncode(""), "");
}

TEST(UrlRules, ServiceHostTakesAnHttpOrHttpsBaseAndNothingElse) {
  const struct {
    const char* configured;
    std::optional<std::string> base;
  } cases[] = {
      {"svc.example", "http://svc.example"},
      {"svc.example:8080", "http://svc.example:8080"},
      {" HTTPS://Svc.Example:8443/ ", "https://svc.example:8443"},
      {"http://127.0.0.1", "http://127.0.0.1"},
      {"https://[::1]:9443", "https://[::1]:9443"},
      {"ftp://svc.example", std::nullopt},
      {"https://svc.example/path", std::nullopt},
      {"https://user:pw@svc.example", std::nullopt},
      {"svc.example:0", std::nullopt},
      {"svc.example:70000", std::nullopt},
      {"svc example", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ServiceBaseUrl(c.configured), c.base) << c.configured;
  EXPECT_EQ(BuildCreditUpdateUrl("https://svc.example:8443", "e", "n"),
            "https://svc.example:8443/textpost/php/creditupdate.php?email=e&now=n");
}

TEST(UrlRules, RedirectsStayOnTheSameHostOrUpgradeToHttps) {
  const struct {
    const char* from;
    const char* to;
    bool allowed;
  } cases[] = {
      {"http://svc.example/a?x=1", "http://svc.example/b?x=1", true},
      {"http://svc.example/a", "https://svc.example/a", true},
      {"http://svc.example:8080/a", "https://SVC.example:8443/a", true},
      {"http://svc.example/a", "http://svc.example:80/b", true},
      {"https://svc.example/a", "http://svc.example/a", false},
      {"http://svc.example/a", "http://evil.example/a", false},
      {"http://svc.example/a", "http://svc.example.evil.example/a", false},
      {"http://127.0.0.1:8080/a", "http://localhost:8080/a", false},
      {"http://svc.example:8080/a", "http://svc.example:8081/a", false},
      {"http://svc.example/a", "https://user@svc.example/a", false},
      {"http://svc.example/a", "file:///etc/passwd", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RedirectAllowed(c.from, c.to), c.allowed) << c.from << " -> " << c.to;
  }
}

TEST(HtmlText, EscapesMarkupAndKeepsEverythingElse) {
  EXPECT_EQ(HtmlEscape("<div hidden>a & b</div>"), "&lt;div hidden&gt;a &amp; b&lt;/div&gt;");
  EXPECT_EQ(HtmlEscape("CPU 97% \"x\" \r\n \xC3\xA9"), "CPU 97% \"x\" \r\n \xC3\xA9");
  EXPECT_EQ(HtmlEscape("&amp;"), "&amp;amp;");
}

TEST(ServiceRequests, UrlsCarryTheKeysInTheServicesOrder) {
  EXPECT_EQ(BuildLoginUrl("svc.example", "me@x.example", "p&w", "12/04/26 10:15:07"),
            "http://svc.example/textpost/php/sms_logon.php?email=me%40x.example&pwd=p%26w"
            "&now=12%2F04%2F26%2010%3A15%3A07");
  EXPECT_EQ(BuildCreditUpdateUrl("svc.example:8080", "me@x.example", "now"),
            "http://svc.example:8080/textpost/php/creditupdate.php?email=me%40x.example&now=now");
  EXPECT_EQ(BuildSmsUrl("h", 0, "e", "p", "id1", "+155,+144", "CPU 97%", "ops@x.example"),
            "http://h/textpost/php/smstoolsen.php?api_id=id1&email=e&pwd=p&to=%2B155%2C%2B144"
            "&from=&unicode=0&text=CPU%2097%25&email_list=ops%40x.example");
  EXPECT_EQ(BuildMailAlertUrl("h", "e", "p", "a@b.cd", "t"),
            "http://h/textpost/php/mail_alert.php?email=e&pwd=p&email_list=a%40b.cd&text=t");
}

TEST(ServiceRequests, MailListRidesWithAnSmsOnlyWhenItQualifies) {
  const struct {
    const char* list;
    bool rides;
  } cases[] = {{"a@b.cdef", true}, {"a@b.cde", false}, {"abcdefgh", false}, {"", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(MailListQualifies(c.list), c.rides) << c.list;
    const std::string url = BuildSmsUrl("h", 0, "e", "p", "i", "t", "m", c.list);
    EXPECT_EQ(url.find("&email_list=") != std::string::npos, c.rides) << c.list;
  }
}

TEST(ServiceRequests, RequestNumbersWrapAfterThirtyThousand) {
  EXPECT_EQ(NextRequestSeq(0), 1);
  EXPECT_EQ(NextRequestSeq(29999), 30000);
  EXPECT_EQ(NextRequestSeq(30000), 0);
}

TEST(ServiceRequests, HostComesFromTheEnvironmentWhenSet) {
  testing::SetEnv("TARNWICK_SERVICE_HOST", " 127.0.0.1:9 ");
  EXPECT_EQ(ServiceHost(), "127.0.0.1:9");
  testing::SetEnv("TARNWICK_SERVICE_HOST", "  ");
  EXPECT_EQ(ServiceHost(), "textpost.example");
  testing::UnsetEnv("TARNWICK_SERVICE_HOST");
  EXPECT_EQ(ServiceHost(), "textpost.example");
}

TEST(ServiceRequests, HostSettingChoosesTheSchemeOfEveryRequest) {
  const struct {
    const char* host;
    const char* origin;
  } cases[] = {
      {"svc.example", "http://svc.example"},
      {"svc.example:8080", "http://svc.example:8080"},
      {"https://svc.example", "https://svc.example"},
      {"HTTPS://svc.example:8443/", "https://svc.example:8443"},
      {"http://svc.example:81", "http://svc.example:81"},
      {"httpsvc.example", "http://httpsvc.example"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ServiceOrigin(c.host), c.origin) << c.host;
    EXPECT_EQ(BuildCreditUpdateUrl(c.host, "e", "n"),
              std::string(c.origin) + "/textpost/php/creditupdate.php?email=e&now=n")
        << c.host;
  }
}

TEST(LoginReply, GrammarOfAnAcceptedReply) {
  const struct {
    const char* reply;
    LoginReply::Kind kind;
    const char* credits;
    const char* flag;
    const char* apiId;
  } cases[] = {
      {"welcome*250*1-ab12cd% enjoy", LoginReply::Kind::Accepted, "250", "1", "ab12cd"},
      {"**1-id%", LoginReply::Kind::Accepted, "", "1", "id"},
      {"*7*0xq%", LoginReply::Kind::Accepted, "7", "0", "q"},
      {"*5*1-%", LoginReply::Kind::Accepted, "5", "1", ""},
      {"ok*250 only one star", LoginReply::Kind::Unreadable, "", "", ""},
      {"ok*250*1-id no percent", LoginReply::Kind::Unreadable, "", "1", ""},
      {"ok*250*", LoginReply::Kind::Unreadable, "", "", ""},
      {"-err bad password", LoginReply::Kind::Refused, "", "", ""},
      {"", LoginReply::Kind::Unreadable, "", "", ""},
  };
  for (const auto& c : cases) {
    const LoginReply r = ParseLoginReply(c.reply);
    EXPECT_EQ(r.kind, c.kind) << c.reply;
    EXPECT_EQ(r.credits, c.credits) << c.reply;
    EXPECT_EQ(r.reloginFlag, c.flag) << c.reply;
    EXPECT_EQ(r.apiId, c.apiId) << c.reply;
  }
  EXPECT_TRUE(ParseLoginReply("ok*250*1-id no percent").flagRead)
      << "the flag is taken before the missing % is noticed";
}

}  // namespace
}  // namespace tarnwick
