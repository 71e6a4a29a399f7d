// The bytes after DATA: nothing a subject or body holds may break the header block or the SMTP
// conversation, and every header a mail client reads must decode back to what was sent.
#include "platform/curl/smtp_message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"

namespace tarnwick {
namespace {

std::string DecodeBase64(std::string_view text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    const size_t value = kAlphabet.find(c);
    if (value == std::string::npos) continue;  // '=', line ends
    bits = bits << 6 | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>(bits >> count & 0xFF));
    }
  }
  return out;
}

// The text of a header value built of encoded words (each decoded on its own), or the value.
std::vector<std::string> DecodeWords(const std::string& value) {
  std::vector<std::string> words;
  for (const std::string& line : SplitLines(value)) {
    const std::string word = TrimCopy(line);
    if (StartsWith(word, "=?UTF-8?B?") && EndsWith(word, "?=")) {
      words.push_back(DecodeBase64(word.substr(10, word.size() - 12)));
    } else {
      words.push_back(word);
    }
  }
  return words;
}

bool IsWholeUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
    if ((lead & 0xC0) == 0x80 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

std::string Repeat(const std::string& part, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

TEST(SmtpMessageTest, SubjectsStayOneHeaderAndDecodeBack) {
  struct Case {
    std::string subject;
    std::string expected;  // what a mail client shows
    bool encoded;
  };
  const Case cases[] = {
      {"CPU alert on web01", "CPU alert on web01", false},
      {"Hi\r\nBcc: evil@example.org", "Hi  Bcc: evil@example.org", false},
      {"Überlast – CPU 95 %", "Überlast – CPU 95 %", true},
      {Repeat("load ", 40), Repeat("load ", 40), true},
      {Repeat("ü€", 40), Repeat("ü€", 40), true},
      {"=?UTF-8?B?Zm9v?= as typed", "=?UTF-8?B?Zm9v?= as typed", true},
      {"x\r\n\r\nbody", "x    body", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subject);
    const std::string value = EncodeHeaderText("Subject", c.subject);
    std::string joined;
    bool first = true;
    for (const std::string& line : SplitLines("Subject: " + value)) {
      EXPECT_LE(line.size(), 78u) << line;
      if (!first) {
        EXPECT_EQ(line[0], ' ') << "a line that is no fold starts a header: " << line;
      }
      first = false;
    }
    for (const std::string& word : DecodeWords(value)) {
      EXPECT_TRUE(IsWholeUtf8(word)) << "an encoded word cuts a character";
      joined += word;
    }
    EXPECT_EQ(joined, c.expected);
    EXPECT_EQ(StartsWith(value, "=?UTF-8?B?"), c.encoded);
  }
}

// The display name a mail client shows: an ASCII name as it is, one with commas or quotes as a
// single quoted string (never read as two addresses), any other name in encoded words; the
// address after it is never touched.
TEST(SmtpMessageTest, FromHeaderEncodesTheDisplayNameNeverTheAddress) {
  const struct {
    std::string sender;
    std::string header;       // exact, when the name needs no encoded word
    std::string decodedName;  // the encoded words' text, when it does
    std::string address;      // what follows the name
  } cases[] = {
      {"Monitor <monitor@example.org>", "Monitor <monitor@example.org>", "", ""},
      {"monitor@example.org", "monitor@example.org", "", ""},
      {" <monitor@example.org> ", "<monitor@example.org>", "", ""},
      {"Ops, Team <ops@example.org>", "\"Ops, Team\" <ops@example.org>", "", ""},
      {"\"Ops, Team\" <ops@example.org>", "\"Ops, Team\" <ops@example.org>", "", ""},
      {"Say \"hi\" \\o/ <ops@example.org>", "\"Say \\\"hi\\\" \\\\o/\" <ops@example.org>", "", ""},
      {"Ops\r\nBcc: evil@example.org <ops@example.org>",
       "\"Ops  Bcc: evil@example.org\" <ops@example.org>", "", ""},
      {"Jürgen Ops <ops@example.org>", "", "Jürgen Ops", "<ops@example.org>"},
      {"\"Jürgen \\\"Ops\\\", Team\" <ops@example.org>", "", "Jürgen \"Ops\", Team",
       "<ops@example.org>"},
      {"=?UTF-8?B?Zm9v?= <ops@example.org>", "", "=?UTF-8?B?Zm9v?=", "<ops@example.org>"},
      {"Jürgen <jürgen@example.org>", "", "Jürgen", "<jürgen@example.org>"},
      {"jürgen@example.org", "jürgen@example.org", "", ""},
      {Repeat("Überwachung ", 12) + "<ops@example.org>", "",
       Repeat("Überwachung ", 11) + "Überwachung", "<ops@example.org>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sender);
    const std::string value = FromHeaderText(c.sender);
    const std::vector<std::string> lines = SplitLines("From: " + value);
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), 78u) << lines[i];
      if (i > 0) {
        EXPECT_EQ(lines[i][0], ' ') << "a line that is no fold starts a header";
      }
    }
    if (c.decodedName.empty()) {
      EXPECT_EQ(value, c.header);
      continue;
    }
    ASSERT_TRUE(StartsWith(value, "=?UTF-8?B?")) << value;
    ASSERT_TRUE(EndsWith(value, " " + c.address)) << value;
    std::string name;
    for (const std::string& word :
         DecodeWords(value.substr(0, value.size() - c.address.size() - 1))) {
      EXPECT_TRUE(IsWholeUtf8(word)) << "an encoded word cuts a character";
      name += word;
    }
    EXPECT_EQ(name, c.decodedName);
  }

  SmtpMail mail;
  mail.sender = "Jürgen Ops <ops@example.org>";
  mail.recipients = "a@example.org";
  const std::string message = ComposeHtmlMessage(mail, 1700000000);
  EXPECT_NE(message.find("\r\nFrom: =?UTF-8?B?SsO8cmdlbiBPcHM=?= <ops@example.org>\r\n"),
            std::string::npos)
      << message;
}

TEST(SmtpMessageTest, BodyOfAnyShapeGoesOutInShortBase64Lines) {
  SmtpMail mail;
  mail.sender = "Monitor <monitor@example.org>";
  mail.recipients = " a@example.org,, b@example.org ,";
  mail.subject = "Alert";
  mail.htmlBody = "<p>" + Repeat("x", 3000) + "</p>\r\n.\r\n.\n<b>Grüße</b> # 100%";

  const std::string message = ComposeHtmlMessage(mail, 1700000000);
  const size_t split = message.find("\r\n\r\n");
  ASSERT_NE(split, std::string::npos);
  const std::vector<std::string> headers = SplitLines(message.substr(0, split));
  const std::vector<std::string> expectedNames = {"Date: ",
                                                  "From: ",
                                                  "To: ",
                                                  "Subject: ",
                                                  "MIME-Version: 1.0",
                                                  "Content-Type: text/html; charset=UTF-8",
                                                  "Content-Transfer-Encoding: base64"};
  ASSERT_EQ(headers.size(), expectedNames.size());
  for (size_t i = 0; i < headers.size(); ++i) EXPECT_TRUE(StartsWith(headers[i], expectedNames[i]));
  EXPECT_EQ(headers[1], "From: Monitor <monitor@example.org>");
  EXPECT_EQ(headers[2], "To: a@example.org, b@example.org");

  const std::string body = message.substr(split + 4);
  for (const std::string& line : SplitLines(body)) EXPECT_LE(line.size(), 76u);
  EXPECT_TRUE(EndsWith(body, "\r\n"));
  EXPECT_EQ(DecodeBase64(body), mail.htmlBody);
}

TEST(SmtpMessageTest, ManyRecipientsFoldTheToHeader) {
  SmtpMail mail;
  for (int i = 0; i < 12; ++i) mail.recipients += "recipient" + std::to_string(i) + "@example.org,";
  const std::string message = ComposeHtmlMessage(mail, 0);
  const std::string headerBlock = message.substr(0, message.find("\r\n\r\n"));
  std::string to;
  for (const std::string& line : SplitLines(headerBlock)) {
    EXPECT_LE(line.size(), 78u) << line;
    if (StartsWith(line, "To: ")) to = line.substr(4);
    if (StartsWith(line, " ")) to += line;
  }
  EXPECT_EQ(SplitRecipients(to), SplitRecipients(mail.recipients));
}

#ifndef _WIN32
// On POSIX the zone comes from the TZ rules; Windows takes it from its own setting (tested
// under Wine in tests/windows).
TEST(SmtpMessageTest, DateIsRfc5322InLocalTimeWithEnglishNames) {
  struct Case {
    const char* zone;
    std::time_t when;
    const char* expected;
  };
  const Case cases[] = {
      {"UTC0", 0, "Thu, 01 Jan 1970 00:00:00 +0000"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1700000000, "Tue, 14 Nov 2023 23:13:20 +0100"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1690000000, "Sat, 22 Jul 2023 06:26:40 +0200"},
      {"EST5", 1700000000, "Tue, 14 Nov 2023 17:13:20 -0500"},
      {"IST-5:30", 1700000000, "Wed, 15 Nov 2023 03:43:20 +0530"},
  };
  const char* saved = std::getenv("TZ");
  const std::string savedZone = saved ? saved : "";
  for (const Case& c : cases) {
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(MailDate(c.when), c.expected) << c.zone;
  }
  if (saved) {
    setenv("TZ", savedZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

TEST(SmtpMessageTest, RecipientsAndSenderAddresses) {
  EXPECT_EQ(SplitRecipients(" a@x.org , ,b@y.org,\t,"),
            (std::vector<std::string>{"a@x.org", "b@y.org"}));
  EXPECT_TRUE(SplitRecipients(" , ,").empty());
}

// The sender passes the rule a recipient passes; its one pair of angle brackets may only close
// the text around the address, as in "Monitor <m@x.org>".
TEST(SmtpMessageTest, EnvelopeRefusesSendersThatCouldForgeCommands) {
  const struct {
    std::string sender;
    std::optional<std::string> envelope;
  } cases[] = {
      {" m@x.org ", "m@x.org"},
      {"Monitor <m@x.org>", "m@x.org"},
      {"<m@x.org>", "m@x.org"},
      {"Überwachung < m@x.org >\t", "m@x.org"},
      {"", ""},
      {"m@x.org\r\nRCPT TO:<evil@x.org>", std::nullopt},
      {"Evil\r\nBcc: victim@y.org <m@x.org>", std::nullopt},
      {"Monitor <m@x.org>\r\n", std::nullopt},
      {"m@x.org> SIZE=1", std::nullopt},
      {"Mon>itor <m@x.org>", std::nullopt},
      {"<evil@x.org> <m@x.org>", std::nullopt},
      {"Monitor <m@x.org", std::nullopt},
      {"Monitor <m@x.org> trailing", std::nullopt},
      {"m\x01@x.org", std::nullopt},
      {"m@x.org\x7f", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(EnvelopeSender(c.sender), c.envelope) << c.sender;
}

TEST(SmtpMessageTest, EnvelopeRefusesRecipientsThatCouldForgeCommands) {
  EXPECT_EQ(EnvelopeRecipients("a@x.org,evil@x.org>\r\nRCPT TO:<b@y.org, c@z.org"),
            (std::vector<std::string>{"a@x.org", "c@z.org"}));
  // A blank at either end is trimmed away; a control character inside refuses the address.
  EXPECT_EQ(EnvelopeRecipients("a@x.org\nb@y.org,d@w.org\x7f,e@v.org\t,f\x01@u.org"),
            (std::vector<std::string>{"e@v.org"}));
  EXPECT_EQ(EnvelopeRecipients(" a@x.org , b@y.org "),
            (std::vector<std::string>{"a@x.org", "b@y.org"}));
  EXPECT_FALSE(IsEnvelopeSafe("m@x.org\r\nRCPT TO:<e@x.org"));
  EXPECT_TRUE(IsEnvelopeSafe(""));
}

}  // namespace
}  // namespace tarnwick
