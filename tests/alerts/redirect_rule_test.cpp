#include "alerts/redirect_rule.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(RedirectRule, FollowsOnlyWithinTheServiceHostAndNeverDownToHttp) {
  const struct {
    const char* from;
    const char* to;
    bool allowed;
  } cases[] = {
      {"http://svc.example/a?x=1", "http://svc.example/b?x=1", true},
      {"http://svc.example/a", "https://svc.example/a", true},
      {"http://svc.example:8080/a", "https://SVC.example:8443/a", true},
      {"https://svc.example/a", "https://svc.example/moved", true},
      {"http://[::1]:80/a", "https://[::1]:443/a", true},
      {"https://svc.example/a", "http://svc.example/a", false},
      {"http://svc.example/a", "http://evil.example/a", false},
      {"http://svc.example/a", "http://svc.example.evil.example/a", false},
      {"http://svc.example/a", "http://svc.example@evil.example/a", false},
      {"http://svc.example/a", "http://user@svc.example/a", false},
      {"http://svc.example/a", "ftp://svc.example/a", false},
      {"http://svc.example/a", "file:///etc/passwd", false},
      {"http://svc.example/a", "/relative/path", false},
      {"http://[::1]/a", "http://[::2]/a", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RedirectAllowed(c.from, c.to), c.allowed) << c.from << " -> " << c.to;
  }
}

}  // namespace
}  // namespace tarnwick
