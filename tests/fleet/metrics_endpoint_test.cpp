// The metrics endpoint over real loopback sockets: only GET /metrics is served, and a client can
// hold neither memory nor more than a few seconds of a connection, nor keep a scrape waiting,
// nor the endpoint's end.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "fleet/fleet_support.h"
#include "platform/httplib/httplib_metrics_endpoint.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::SteadyClock;

constexpr char kScrape[] = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";

// A raw client connection, for what a well-behaved HTTP client would never send, or to send from
// another loopback address (`source`).
class RawConnection {
 public:
  explicit RawConnection(int port, const char* source = "127.0.0.1") {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    connected_ = bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                 connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { close(fd_); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool connected() const { return connected_; }

  // Sends what the peer takes; false once it no longer does.
  bool Send(const std::string& text) {
    return send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
  }

  // Everything the server sends until it closes the connection or `limit` passes; `closed` tells
  // which.
  std::string ReadToEnd(std::chrono::milliseconds limit, bool& closed) {
    std::string text;
    const auto deadline = SteadyClock::now() + limit;
    closed = false;
    while (SteadyClock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed = true;
        break;
      }
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

class MetricsEndpointTest : public ::testing::Test {
 protected:
  HttplibMetricsEndpoint endpoint;
  std::atomic<int> scrapes{0};
  int port = 0;

  void SetUp() override {
    const MetricsEndpointStart start = endpoint.Start({"127.0.0.1", 0}, [this] {
      ++scrapes;
      return std::string("tarnwick_up 1\n");
    });
    ASSERT_TRUE(start.ok) << start.reason;
    port = start.port;
  }
};

TEST_F(MetricsEndpointTest, OnlyGetMetricsIsServed) {
  const struct {
    const char* request;
    const char* statusLine;
  } cases[] = {
      {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK\r\n"},
      {"GET /metrics?name[]=up HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK\r\n"},
      {"HEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK\r\n"},
      {"POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc",
       "HTTP/1.1 405 Method Not Allowed\r\n"},
      {"DELETE /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
      {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
      {"GET /metrics/../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    RawConnection connection(port);
    ASSERT_TRUE(connection.connected());
    ASSERT_TRUE(connection.Send(c.request));
    bool closed = false;
    const std::string reply = connection.ReadToEnd(10s, closed);
    EXPECT_EQ(reply.rfind(c.statusLine, 0), 0u) << reply;
    EXPECT_TRUE(closed) << "one request per connection";
  }
  const testing::HttpReply reply = testing::HttpGet(port, "/metrics");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, "tarnwick_up 1\n");
  EXPECT_EQ(reply.contentType, "text/plain; version=0.0.4; charset=utf-8");
}

TEST_F(MetricsEndpointTest, ARequestIsCutOffAtItsSizeAndTimeLimits) {
  // Headers without end: cut off at 16 KiB, long before they are all sent.
  {
    RawConnection flood(port);
    ASSERT_TRUE(flood.Send("GET /metrics HTTP/1.1\r\n"));
    size_t sent = 0;
    const std::string header = "X-Filler: " + std::string(1000, 'a') + "\r\n";
    while (sent < 4 * 1024 * 1024 && flood.Send(header)) sent += header.size();
    EXPECT_LT(sent, 4u * 1024 * 1024) << "the server kept reading";
    bool closed = false;
    const std::string reply = flood.ReadToEnd(10s, closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(reply.find(" 200 "), std::string::npos) << reply;
  }
  // A client that trickles: the whole request must be there within 2 s of the connection.
  {
    RawConnection slow(port);
    const auto start = SteadyClock::now();
    ASSERT_TRUE(slow.Send("GET /metrics HTTP/1.1\r\n"));
    bool closed = false;
    std::string reply;
    while (!closed && SteadyClock::now() - start < 15s) {
      slow.Send("X: y\r\n");
      reply += slow.ReadToEnd(250ms, closed);
    }
    const auto took = SteadyClock::now() - start;
    EXPECT_TRUE(closed);
    EXPECT_GE(took, 1500ms);
    EXPECT_LT(took, 4s);
    EXPECT_EQ(reply.find(" 200 "), std::string::npos) << reply;
  }
  EXPECT_EQ(scrapes, 0);
  EXPECT_EQ(testing::HttpGet(port, "/metrics").status, 200);
}

// One scrape's reply over a raw connection from `source`, and how long it took.
struct TimedScrape {
  std::string reply;
  std::chrono::milliseconds took{};
};
TimedScrape ScrapeFrom(int port, const char* source) {
  const auto start = SteadyClock::now();
  RawConnection connection(port, source);
  TimedScrape scrape;
  if (connection.connected() && connection.Send(kScrape)) {
    bool closed = false;
    scrape.reply = connection.ReadToEnd(5s, closed);
  }
  scrape.took = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
  return scrape;
}

TEST_F(MetricsEndpointTest, SlowClientsDoNotKeepAScrapeWaiting) {
  const std::vector<std::string> oneAddress(8, "127.0.0.1");
  const std::vector<std::string> eightAddresses = {"127.0.0.10", "127.0.0.11", "127.0.0.12",
                                                   "127.0.0.13", "127.0.0.14", "127.0.0.15",
                                                   "127.0.0.16", "127.0.0.17"};
  const struct {
    const char* what;
    const std::vector<std::string>& slowSources;
    const char* scraper;
  } cases[] = {
      {"a local user's eight, scraped from another address", oneAddress, "127.0.0.2"},
      {"a local user's eight, scraped from the same address", oneAddress, "127.0.0.1"},
      {"eight from eight addresses", eightAddresses, "127.0.0.1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> argv = {TARNWICK_SLOWLORIS, std::to_string(port), "8"};
    argv.insert(argv.end(), c.slowSources.begin(), c.slowSources.end());
    testing::RunningProgram slow(argv, {});
    ASSERT_TRUE(slow.started());
    ASSERT_TRUE(slow.WaitForOutput([](const std::string& out) { return out == "ready\n"; }, 5s));
    // Scrapes over more than the 2 s a slow request may take, so the slow clients' reconnections
    // come in between.
    for (int i = 0; i < 6; ++i) {
      std::this_thread::sleep_for(500ms);
      const TimedScrape scrape = ScrapeFrom(port, c.scraper);
      EXPECT_EQ(scrape.reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << scrape.reply;
      EXPECT_NE(scrape.reply.find("tarnwick_up 1\n"), std::string::npos);
      EXPECT_LT(scrape.took, 1s);
    }
  }
}

TEST_F(MetricsEndpointTest, AClientAddressHoldsTwoUnfinishedRequestsAtMost) {
  RawConnection first(port, "127.0.0.3");
  RawConnection second(port, "127.0.0.3");
  ASSERT_TRUE(first.Send("GET /metrics HTTP/1.1\r\n"));
  ASSERT_TRUE(second.Send("GET /metrics HTTP/1.1\r\n"));
  std::this_thread::sleep_for(200ms);

  // A third unfinished one from that address is closed at once; from another it waits its 2 s.
  RawConnection third(port, "127.0.0.3");
  RawConnection elsewhere(port, "127.0.0.4");
  ASSERT_TRUE(third.Send("GET /metrics HTTP/1.1\r\n"));
  ASSERT_TRUE(elsewhere.Send("GET /metrics HTTP/1.1\r\n"));
  bool closed = false;
  EXPECT_EQ(third.ReadToEnd(500ms, closed), "");
  EXPECT_TRUE(closed) << "the address's third unfinished request";
  EXPECT_EQ(elsewhere.ReadToEnd(500ms, closed), "");
  EXPECT_FALSE(closed) << "another address's first";

  // A whole request from the full address is still answered.
  const TimedScrape scrape = ScrapeFrom(port, "127.0.0.3");
  EXPECT_EQ(scrape.reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << scrape.reply;
  EXPECT_EQ(scrapes, 1);
}

TEST_F(MetricsEndpointTest, AConnectionThatSendsNothingDelaysNoScrape) {
  RawConnection silent(port);
  ASSERT_TRUE(silent.connected());
  std::this_thread::sleep_for(200ms);
  const TimedScrape scrape = ScrapeFrom(port, "127.0.0.1");
  EXPECT_EQ(scrape.reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << scrape.reply;
  EXPECT_LT(scrape.took, 1s);
}

TEST_F(MetricsEndpointTest, StoppingDoesNotWaitForClientsThatHoldConnections) {
  std::vector<std::unique_ptr<RawConnection>> silent;
  for (int i = 0; i < 3; ++i) {
    silent.push_back(std::make_unique<RawConnection>(port));
    ASSERT_TRUE(silent.back()->connected());
  }
  ASSERT_TRUE(silent.front()->Send("GET /metrics HTTP/1.1\r\n"));
  std::this_thread::sleep_for(300ms);
  const auto start = SteadyClock::now();
  endpoint.Stop();
  EXPECT_LT(SteadyClock::now() - start, 1s);
  bool closed = false;
  EXPECT_EQ(silent.front()->ReadToEnd(2s, closed).find(" 200 "), std::string::npos);
  EXPECT_TRUE(closed);
}

TEST_F(MetricsEndpointTest, APortInUseIsRefusedWithTheSystemsReason) {
  HttplibMetricsEndpoint second;
  const MetricsEndpointStart start =
      second.Start({"127.0.0.1", port}, [] { return std::string(); });
  EXPECT_FALSE(start.ok);
  EXPECT_EQ(start.reason, "Address already in use");
  // The first one goes on, and stops on request.
  EXPECT_EQ(testing::HttpGet(port, "/metrics").status, 200);
  endpoint.Stop();
  EXPECT_EQ(testing::HttpGet(port, "/metrics").status, 0);
}

}  // namespace
}  // namespace tarnwick
