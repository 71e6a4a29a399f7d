// The text the monitor hands to mailcmdssl: any value must come back whole, in its own field.
#include "delivery/mailer_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "platform/mailer_launcher.h"

namespace tarnwick {
namespace {

std::array<std::string*, kMailerFieldCount> Fields(MailerRequest& r) {
  return {&r.token,   &r.user, &r.password, &r.sender, &r.recipients,
          &r.subject, &r.body, &r.server,   &r.port};
}

MailerRequest Sample() {
  return {std::string(kMailerToken),
          "user",
          "pass",
          "from@example.org",
          "a@example.org,b@example.org",
          "Alert",
          "<b>CPU</b>",
          "smtp.example.org",
          "587"};
}

// Values that would break a naive split or a naive decoder: separators, escapes of escapes, a
// process name that tries to look like "#server#port".
const char* const kTrickyValues[] = {
    "x&to=999#y %z",   "a#evil.example#25", "%23", "%25", "%2523", "%%##", "100%", "#", "",
    "50% of #1 at %2", "Überlast #3 – 95 %"};

TEST(MailerTextTest, EveryValueSurvivesInEveryField) {
  for (const char* value : kTrickyValues) {
    for (size_t field = 0; field < kMailerFieldCount; ++field) {
      SCOPED_TRACE(std::string("value '") + value + "' in field " + std::to_string(field));
      MailerRequest sent = Sample();
      *Fields(sent)[field] = value;

      const std::string text = FormatMailerText(sent);
      EXPECT_EQ(std::count(text.begin(), text.end(), kMailerFieldSeparator),
                static_cast<long>(kMailerFieldCount - 1));

      std::optional<MailerRequest> got = ParseMailerText(text);
      ASSERT_TRUE(got.has_value());
      for (size_t i = 0; i < kMailerFieldCount; ++i) {
        EXPECT_EQ(*Fields(*got)[i], *Fields(sent)[i]) << "field " << i;
      }
    }
  }
}

TEST(MailerTextTest, OnlyPercent25AndPercent23AreEscapes) {
  struct Case {
    const char* field;
    const char* value;
  };
  const Case cases[] = {{"%25%23", "%#"}, {"%2523", "%23"}, {"%41", "%41"},
                        {"%2", "%2"},     {"%", "%"},       {"50%", "50%"},
                        {"%%23", "%#"},   {"%252", "%2"},   {"a%20b", "a%20b"}};
  for (const Case& c : cases) {
    EXPECT_EQ(UnescapeMailerField(c.field), c.value) << c.field;
  }
  EXPECT_EQ(EscapeMailerField("%#"), "%25%23");
}

TEST(MailerTextTest, TextWithoutExactlyNineFieldsIsRefused) {
  const std::string nine = FormatMailerText(Sample());
  const std::string texts[] = {"", nine.substr(0, nine.rfind('#')), nine + "#extra",
                               std::string(kMailerToken)};
  for (const std::string& text : texts) {
    std::string error;
    EXPECT_FALSE(ParseMailerText(text, &error).has_value()) << text;
    EXPECT_NE(error.find("9 fields"), std::string::npos) << error;
  }
}

// What the mailer writes to its standard error becomes one log line of bounded length, whatever
// it wrote.
TEST(MailerTextTest, TheMailersReasonIsItsFirstLineCutAndWithoutControlCharacters) {
  const std::string longest(kMailerReasonLimit, 'x');
  struct Case {
    std::string standardError;
    std::string reason;
  };
  const Case cases[] = {
      {"mailcmdssl: Login denied\nsecond line\n", "mailcmdssl: Login denied"},
      {"Windows line\r\nnext", "Windows line"},
      {"\nafter an empty first line", ""},
      {"tab\there, escape\x1b[31m and DEL\x7f", "tab here, escape [31m and DEL "},
      {longest + "y", longest},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MailerReasonLine(c.standardError), c.reason) << c.standardError;
  }
}

}  // namespace
}  // namespace tarnwick
