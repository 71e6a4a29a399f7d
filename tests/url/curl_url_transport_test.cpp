// CurlUrlTransport against loopback servers that misbehave on purpose: every read ends, within
// its deadline and its size cap, with exactly one completion on the waiting thread.
#include "platform/curl/curl_url_transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "scripted_http_server.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr size_t kCap = 64 * 1024;

std::string Reply(int status, const std::string& body, const std::string& extra = "") {
  return "HTTP/1.1 " + std::to_string(status) +
         " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
         extra + "\r\n" + body;
}

struct Result {
  bool done = false;
  int calls = 0;
  bool ok = false;
  std::string bytes;
  std::chrono::milliseconds took{};
};

// One read on the transport, waited for on this thread; gives up after `limit`.
Result ReadOnce(CurlUrlTransport& transport, const std::string& url,
                std::chrono::milliseconds limit = 10s) {
  Result result;
  const auto start = Clock::now();
  transport.Get(url, [&](bool ok, std::string bytes) {
    ++result.calls;
    result.done = true;
    result.ok = ok;
    result.bytes = std::move(bytes);
  });
  EXPECT_FALSE(result.done) << "completed inside Get";
  while (!result.done && Clock::now() - start < limit) transport.WaitFor(100ms);
  result.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  return result;
}

TEST(CurlUrlTransport, OnlyACompleteTwoHundredReplyIsASuccess) {
  const std::string binary("ok*50*1-ab%\0\xff\r\n", 15);
  const struct {
    const char* name;
    std::string reply;  // sent whole, then the connection closes
    bool ok;
    std::string bytes;
  } cases[] = {
      {"200 with any bytes", Reply(200, binary), true, binary},
      {"204 empty", Reply(204, ""), true, ""},
      {"exactly the cap", Reply(200, std::string(kCap, 'x')), true, std::string(kCap, 'x')},
      {"404", Reply(404, "missing"), false, ""},
      {"500", Reply(500, "Internal Server Error"), false, ""},
      {"redirect without a place", Reply(302, ""), false, ""},
      {"cut short", "HTTP/1.1 200 X\r\nContent-Length: 100\r\n\r\nonly this", false, ""},
      {"no reply at all", "", false, ""},
      {"not HTTP", "SSH-2.0-OpenSSH_9.2\r\n", false, ""},
      {"announced flood", "HTTP/1.1 200 X\r\nContent-Length: 104857600\r\n\r\nxxxx", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedHttpServer server(
        [&](ScriptedHttpServer& s, const std::string&, int fd) { s.Send(fd, c.reply); });
    CurlUrlTransport transport;
    const Result r = ReadOnce(transport, server.Url("/textpost/php/sms_logon.php?email=a"));
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.bytes, c.bytes);
    EXPECT_EQ(transport.Pending(), 0u);
  }
}

TEST(CurlUrlTransport, RequestsAskCachesForAFreshReply) {
  ScriptedHttpServer server(
      [](ScriptedHttpServer& s, const std::string&, int fd) { s.Send(fd, Reply(200, "1")); });
  CurlUrlTransport transport;
  ASSERT_TRUE(ReadOnce(transport, server.Url("/c?x=1")).ok);
  ASSERT_EQ(server.Heads().size(), 1u);
  EXPECT_NE(server.Heads()[0].find("Cache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_NE(server.Heads()[0].find("Pragma: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(server.Heads()[0].find("Accept-Encoding"), std::string::npos)
      << "the body is taken as sent, never unpacked";
}

TEST(CurlUrlTransport, FloodsAndTricklesEndAtTheCapOrTheDeadline) {
  // A flood without a length, and a trickle of one byte every 100 ms that never ends.
  ScriptedHttpServer flood([](ScriptedHttpServer& s, const std::string&, int fd) {
    if (!s.Send(fd, "HTTP/1.1 200 X\r\nConnection: close\r\n\r\n")) return;
    const std::string chunk(16 * 1024, 'y');
    for (int i = 0; i < 6400 && s.Send(fd, chunk); ++i) {
    }
  });
  ScriptedHttpServer trickle([](ScriptedHttpServer& s, const std::string&, int fd) {
    if (!s.Send(fd, "HTTP/1.1 200 X\r\nContent-Length: 1000\r\n\r\n")) return;
    for (int i = 0; i < 1000 && s.Send(fd, "z"); ++i) std::this_thread::sleep_for(100ms);
  });
  CurlUrlTransport transport(CurlUrlTransport::Limits{1500ms, kCap});

  const Result flooded = ReadOnce(transport, flood.Url("/f"));
  ASSERT_TRUE(flooded.done);
  EXPECT_FALSE(flooded.ok);
  EXPECT_TRUE(flooded.bytes.empty());

  const Result trickled = ReadOnce(transport, trickle.Url("/t"));
  ASSERT_TRUE(trickled.done);
  EXPECT_FALSE(trickled.ok);
  EXPECT_GE(trickled.took, 1400ms) << "the server kept sending, so only the deadline ends it";
  EXPECT_LT(trickled.took, 5s);
}

TEST(CurlUrlTransport, FollowsRedirectsOnlyOnTheSameHostAndAtMostFive) {
  // "/hop/N" redirects to "/hop/N-1" until 0, which answers; "/away" sends the read to another
  // host name of this machine.
  ScriptedHttpServer server([](ScriptedHttpServer& s, const std::string& target, int fd) {
    if (target.rfind("/hop/", 0) == 0) {
      const int n = std::stoi(target.substr(5));
      if (n == 0) {
        s.Send(fd, Reply(200, "arrived"));
      } else {
        s.Send(fd, Reply(302, "", "Location: /hop/" + std::to_string(n - 1) + "\r\n"));
      }
    } else if (target == "/away") {
      s.Send(fd, Reply(301, "",
                       "Location: http://localhost:" + std::to_string(s.port()) + "/hop/0\r\n"));
    } else if (target == "/ftp") {
      s.Send(fd, Reply(302, "", "Location: ftp://127.0.0.1/x\r\n"));
    }
  });
  const struct {
    const char* target;
    bool ok;
    size_t requests;
  } cases[] = {
      {"/hop/0", true, 1}, {"/hop/5", true, 6}, {"/hop/6", false, 6},
      {"/away", false, 1}, {"/ftp", false, 1},
  };
  size_t before = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    CurlUrlTransport transport;
    const Result r = ReadOnce(transport, server.Url(c.target));
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.bytes, c.ok ? "arrived" : "");
    EXPECT_EQ(server.Targets().size() - before, c.requests);
    before = server.Targets().size();
  }
}

TEST(CurlUrlTransport, OtherSchemesFailWithoutTouchingTheNetwork) {
  CurlUrlTransport transport;
  for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://x/", "no url"}) {
    const Result r = ReadOnce(transport, url, 2s);
    EXPECT_TRUE(r.done) << url;
    EXPECT_FALSE(r.ok) << url;
    EXPECT_TRUE(r.bytes.empty()) << url;
  }
}

TEST(CurlUrlTransport, ACompletionMayStartTheNextRead) {
  ScriptedHttpServer server([](ScriptedHttpServer& s, const std::string& target, int fd) {
    s.Send(fd, Reply(200, target));
  });
  CurlUrlTransport transport;
  std::vector<std::string> replies;
  transport.Get(server.Url("/first"), [&](bool, std::string bytes) {
    replies.push_back(bytes);
    transport.Get(server.Url("/second"), [&](bool, std::string next) { replies.push_back(next); });
  });
  const auto start = Clock::now();
  while (replies.size() < 2 && Clock::now() - start < 10s) transport.WaitFor(100ms);
  EXPECT_EQ(replies, (std::vector<std::string>{"/first", "/second"}));
}

TEST(CurlUrlTransport, AWakeEndsTheWaitAndPendingReadsDieWithTheTransport) {
  // The server answers only when the test is over.
  std::atomic<bool> release{false};
  ScriptedHttpServer server([&](ScriptedHttpServer& s, const std::string&, int fd) {
    while (!release) std::this_thread::sleep_for(10ms);
    s.Send(fd, Reply(200, "late"));
  });
  int completions = 0;
  {
    CurlUrlTransport transport;
    transport.Get(server.Url("/slow"), [&](bool, std::string) { ++completions; });
    std::thread waker([&] {
      std::this_thread::sleep_for(200ms);
      transport.Wake();
    });
    const auto start = Clock::now();
    transport.WaitFor(10s);
    const auto took = Clock::now() - start;
    waker.join();
    EXPECT_LT(took, 5s) << "the wake-up ended the wait";
    EXPECT_EQ(transport.Pending(), 1u);
  }
  release = true;
  EXPECT_EQ(completions, 0);
}

}  // namespace
}  // namespace tarnwick::testing
