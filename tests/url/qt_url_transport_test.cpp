// QtUrlTransport under AsyncRead, against the local stand-in of the web service started as a child
// process. Everything runs on this thread's event loop, as in the program.
#include "platform/qt/qt_url_transport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTimer>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "delivery/async_read.h"
#include "delivery/text_from_bytes.h"
#include "standin.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using testing::ReadFile;
using testing::StandIn;
using testing::TempDir;

constexpr char kAccount[] = "ops+alerts@example.org";
// Every character here would change the query if the client or the stand-in got the encoding
// wrong.
constexpr char kPassword[] = "p&ss=w rd%+";
constexpr char kApiId[] = "ab12cd";

// Much longer than any read here takes; only a hung read reaches it.
constexpr auto kReadLimit = 15s;

// The client's encoding: every byte but the RFC 3986 unreserved characters becomes %XX.
std::string Encode(const std::string& value) {
  std::string out;
  for (unsigned char c : value) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// Runs the event loop until `done` holds or `limit` passes; false on the limit.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || clock.elapsed() >= limit.count()) loop.quit();
  });
  poll.start(5);
  if (!done()) loop.exec();
  return done();
}

struct Outcome {
  bool raised = false;
  AsyncProperty completion;
  std::string dataFromUrl;
  std::chrono::milliseconds elapsed{};
};

class StandInTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "tarnwick_url_transport_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    logDir_ = new TempDir;
    standIn_ = new StandIn(*logDir_ / "requests.log", StandInArguments());
  }
  static void TearDownTestSuite() {
    delete standIn_;
    delete logDir_;
    standIn_ = nullptr;
    logDir_ = nullptr;
  }

  static QStringList StandInArguments() {
    return {"--account", kAccount,   "--password", kPassword,        "--credits",
            "120",       "--api-id", kApiId,       "--relogin-flag", "1"};
  }

  void SetUp() override {
    ASSERT_NE(standIn_->port(), 0) << "the stand-in did not report a port";
    SetMode("normal", "&credits=120");
  }

  // Switches the stand-in's behaviour for the reads that follow.
  void SetMode(const std::string& mode, const std::string& extra = "") {
    const Outcome set = Read(reader_, standIn_->Url("/control?mode=" + mode + extra), "control");
    ASSERT_EQ(set.completion.StatusCode, kAsyncStatusEndOfData) << mode;
  }

  // One text-mode read, waited for on the event loop.
  static Outcome Read(AsyncRead& reader, const std::string& url, const std::string& tag) {
    Outcome outcome;
    reader.AsyncReadComplete = [&outcome](AsyncRead& r, const AsyncProperty& completion) {
      outcome.raised = true;
      outcome.completion = completion;
      outcome.dataFromUrl = r.DataFromURL();
    };
    QElapsedTimer clock;
    clock.start();
    reader.SetPropName(tag);
    reader.SetDataFromURL(url);
    EXPECT_TRUE(RunUntil([&] { return outcome.raised; }, kReadLimit)) << url;
    outcome.elapsed = std::chrono::milliseconds(clock.elapsed());
    reader.AsyncReadComplete = nullptr;
    return outcome;
  }

  std::string LoginUrl(const std::string& password) const {
    return standIn_->Url("/textpost/php/sms_logon.php?email=" + Encode(kAccount) +
                         "&pwd=" + Encode(password) + "&now=" + Encode("12/04/26 10:15:07"));
  }

  // The stand-in's log lines for requests to `path`, oldest first.
  static std::vector<std::string> LoggedRequests(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream log(ReadFile(*logDir_ / "requests.log"));
    for (std::string line; std::getline(log, line);) {
      if (line.find("\"path\": \"" + path + "\"") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }

  static TempDir* logDir_;
  static StandIn* standIn_;
  QtUrlTransport transport_{2s};
  AsyncRead reader_{transport_};
};

TempDir* StandInTest::logDir_ = nullptr;
StandIn* StandInTest::standIn_ = nullptr;

TEST_F(StandInTest, LoginReachesTheServiceDecodedAndBypassingCaches) {
  const Outcome login = Read(reader_, LoginUrl(kPassword), "logon11507");

  EXPECT_EQ(login.completion.PropertyName, "logon11507");
  EXPECT_EQ(login.completion.StatusCode, kAsyncStatusEndOfData);
  EXPECT_EQ(login.dataFromUrl, "+OK *120*1-ab12cd% welcome");

  const std::vector<std::string> logged = LoggedRequests("/textpost/php/sms_logon.php");
  ASSERT_FALSE(logged.empty());
  const std::string& last = logged.back();
  EXPECT_NE(last.find(R"("email": "ops+alerts@example.org")"), std::string::npos) << last;
  EXPECT_NE(last.find(R"("pwd": "p&ss=w rd%+")"), std::string::npos) << last;
  EXPECT_NE(last.find(R"("now": "12/04/26 10:15:07")"), std::string::npos) << last;
  EXPECT_NE(last.find(R"("Cache-Control": "no-cache")"), std::string::npos) << last;
  EXPECT_NE(last.find(R"("Pragma": "no-cache")"), std::string::npos) << last;
}

TEST_F(StandInTest, WrongPasswordIsARefusalNotAFailure) {
  const Outcome login = Read(reader_, LoginUrl("wrong"), "logon11508");
  EXPECT_EQ(login.completion.StatusCode, kAsyncStatusEndOfData);
  EXPECT_EQ(login.dataFromUrl, "-ERR invalid account or password");
}

// The program tells a failed read by DataFromURL still naming the URL it wrote.
struct FailureCase {
  const char* name;
  const char* mode;
  const char* path;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
  *out << c.name;
}

class StandInFailureTest : public StandInTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StandInFailureTest, FailsAndKeepsTheUrl) {
  SetMode(GetParam().mode);
  const std::string url = standIn_->Url(GetParam().path);
  const Outcome read = Read(reader_, url, "getcredit5");
  EXPECT_TRUE(read.raised);
  EXPECT_EQ(read.completion.PropertyName, "getcredit5");
  EXPECT_EQ(read.completion.StatusCode, kAsyncStatusError);
  EXPECT_EQ(read.dataFromUrl, url);
  EXPECT_EQ(reader_.DataFromURL(), url);
}

INSTANTIATE_TEST_SUITE_P(
    BrokenReplies, StandInFailureTest,
    ::testing::Values(
        FailureCase{"ServerError", "error500", "/textpost/php/creditupdate.php?email=a"},
        FailureCase{"ConnectionDropped", "drop", "/textpost/php/creditupdate.php?email=a"},
        FailureCase{"UnknownPage", "normal", "/textpost/php/nothing.php"},
        // "localhost" is another host name than the "127.0.0.1" asked, though the same machine.
        FailureCase{"RedirectToAnotherHost", "redirect-away",
                    "/textpost/php/creditupdate.php?email=a"},
        FailureCase{"EndlessRedirects", "redirect-loop", "/textpost/php/creditupdate.php?email=b"},
        FailureCase{"FloodingReply", "flood", "/textpost/php/creditupdate.php?email=a"}),
    [](const ::testing::TestParamInfo<FailureCase>& param) {
      return std::string(param.param.name);
    });

// The 302 points at the same page on the same host, marked as redirected, which answers 200.
TEST_F(StandInTest, RedirectOnTheSameHostIsFollowed) {
  SetMode("redirect");
  const Outcome login = Read(reader_, LoginUrl(kPassword), "logon11512");
  EXPECT_EQ(login.completion.StatusCode, kAsyncStatusEndOfData);
  EXPECT_EQ(login.dataFromUrl, "+OK *120*1-ab12cd% welcome");
}

// One byte every 0.3 s never lets the silence time-out fire; the deadline ends the read.
TEST_F(StandInTest, TricklingReplyFailsAtTheDeadline) {
  SetMode("trickle");
  QtUrlTransport patient(2s, 1500ms);
  AsyncRead reader(patient);
  const std::string url = LoginUrl(kPassword);

  const Outcome read = Read(reader, url, "logon11513");

  EXPECT_EQ(read.completion.StatusCode, kAsyncStatusError);
  EXPECT_EQ(read.dataFromUrl, url);
  EXPECT_GE(read.elapsed, 1400ms);
  EXPECT_LT(read.elapsed, 6s) << "the 1.5 s deadline, not the 300 s reply, ended the read";
}

// A reply past the limit fails as soon as the limit is passed (the program's limits here), or at
// once when its announced length is past it.
TEST_F(StandInTest, OversizedReplyFailsWithoutWaitingForItsEnd) {
  SetMode("flood");
  const Outcome flood =
      Read(reader_, standIn_->Url("/textpost/php/creditupdate.php?email=a"), "getcredit11");
  EXPECT_EQ(flood.completion.StatusCode, kAsyncStatusError);
  EXPECT_LT(flood.elapsed, 10s);

  // 1,000 bytes announced, sent one every 0.3 s, against a 999-byte limit.
  SetMode("trickle");
  QtUrlTransport tight(5s, 10s, 999);
  AsyncRead tightReader(tight);
  const Outcome announced =
      Read(tightReader, standIn_->Url("/textpost/php/creditupdate.php?email=a"), "getcredit12");
  EXPECT_EQ(announced.completion.StatusCode, kAsyncStatusError);
  EXPECT_LT(announced.elapsed, 3s);
}

TEST_F(StandInTest, SilentServerFailsAfterTheTimeout) {
  SetMode("slow", "&delay=8");
  QtUrlTransport quick(1s);
  AsyncRead reader(quick);
  const std::string url = standIn_->Url("/textpost/php/creditupdate.php?email=a");

  const Outcome read = Read(reader, url, "getcredit6");

  EXPECT_EQ(read.completion.StatusCode, kAsyncStatusError);
  EXPECT_EQ(read.dataFromUrl, url);
  EXPECT_GE(read.elapsed, 900ms);
  EXPECT_LT(read.elapsed, 5s) << "the 1 s time-out, not the server's 8 s delay, ended the read";
}

TEST_F(StandInTest, GarbageReplySucceedsWithItsInvalidBytesDropped) {
  SetMode("garbage");
  const Outcome read = Read(reader_, LoginUrl(kPassword), "logon11509");

  EXPECT_EQ(read.completion.StatusCode, kAsyncStatusEndOfData);
  const std::string& bytes = read.completion.Value;
  EXPECT_EQ(read.dataFromUrl, TextFromBytes(bytes));
  EXPECT_LT(read.dataFromUrl.size(), bytes.size()) << "the stand-in always sends some non-UTF-8";
}

TEST_F(StandInTest, NoServerListeningFails) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  const std::string url =
      "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/textpost/php/sms_logon.php";
  probe.close();

  const Outcome read = Read(reader_, url, "logon11510");

  EXPECT_EQ(read.completion.StatusCode, kAsyncStatusError);
  EXPECT_EQ(read.dataFromUrl, url);
}

// Two reads in flight on one reader: each reply comes back under the tag it was started with.
TEST_F(StandInTest, OverlappingReadsComeBackUnderTheirOwnTags) {
  std::vector<std::pair<std::string, std::string>> seen;  // tag, text
  reader_.AsyncReadComplete = [&seen](AsyncRead& r, const AsyncProperty& completion) {
    seen.emplace_back(completion.PropertyName, r.DataFromURL());
  };
  reader_.SetPropName("logon11511");
  reader_.SetDataFromURL(LoginUrl(kPassword));
  reader_.SetPropName("getcredit7");
  reader_.SetDataFromURL(
      standIn_->Url("/textpost/php/creditupdate.php?email=" + Encode(kAccount) + "&now=x"));
  ASSERT_TRUE(RunUntil([&] { return seen.size() == 2; }, kReadLimit));

  for (const auto& [tag, text] : seen) {
    if (tag == "logon11511") {
      EXPECT_EQ(text.rfind("+OK *", 0), 0u) << text;
    } else {
      EXPECT_EQ(tag, "getcredit7");
      EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << text;
    }
  }
  EXPECT_NE(seen[0].first, seen[1].first);
}

// Other tests of the program rely on the stand-in charging like the service: one credit per
// recipient, nothing for a refused send.
TEST_F(StandInTest, StandInChargesOneCreditPerRecipient) {
  const std::string credit = "/textpost/php/creditupdate.php?email=" + Encode(kAccount) + "&now=x";
  const std::string before = Read(reader_, standIn_->Url(credit), "getcredit8").dataFromUrl;
  const auto sms = [&](const std::string& apiId) {
    return standIn_->Url("/textpost/php/smstoolsen.php?api_id=" + apiId +
                         "&email=" + Encode(kAccount) + "&pwd=" + Encode(kPassword) +
                         "&to=" + Encode("85291234567,85298765432") +
                         "&from=&unicode=0&text=" + Encode("CPU 99% on web1"));
  };

  EXPECT_EQ(Read(reader_, sms("wrong"), "sendsms1").dataFromUrl.rfind("ERR:", 0), 0u);
  EXPECT_EQ(Read(reader_, sms(kApiId), "sendsms2").dataFromUrl.rfind("ID: ", 0), 0u);

  const std::string after = Read(reader_, standIn_->Url(credit), "getcredit9").dataFromUrl;
  EXPECT_EQ(std::stoi(after), std::stoi(before) - 2);
}

TEST_F(StandInTest, StandInStopsCleanlyOnSigterm) {
  TempDir dir;
  StandIn standIn(dir / "requests.log", StandInArguments());
  ASSERT_NE(standIn.port(), 0);
  EXPECT_EQ(standIn.Stop(), 0);
}

}  // namespace
}  // namespace tarnwick
