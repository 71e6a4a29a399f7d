// The two URL transports, QtUrlTransport of the desktop program (driven by Qt's event loop) and
// CurlUrlTransport of tarnwickd (driven by its own wait), under one table of cases against the
// local stand-in of the web service: the same redirects followed and refused (and a refused one
// sends nothing to the other host), the same deadline, the same reply cap with the same memory
// also while the UI thread is busy, the same https rules with a CA trusted through SSL_CERT_FILE.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "domain/url_rules.h"
#include "platform/curl/curl_url_transport.h"
#include "platform/qt/qt_url_transport.h"
#include "standin.h"
#include "support/environment.h"
#include "support/peak_memory.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kAccount[] = "ops@example.org";
constexpr char kPassword[] = "secret";
constexpr char kLogin[] = "/textpost/php/sms_logon.php?email=ops%40example.org&pwd=secret&now=x";
constexpr char kLoginAnswer[] = "+OK *120*1-ab12cd% welcome";

// The whole read's time here; a stand-in that never ends its reply is cut off by it.
constexpr auto kDeadline = 2500ms;
// Much longer than any read here takes; only a hung read reaches it.
constexpr auto kHung = 20s;

struct Read {
  int calls = 0;
  bool ok = false;
  std::string bytes;
  std::chrono::milliseconds took{};
  long peakKiB = -1;  // of the process that read, when it was not this one
};

// One transport, reading one URL at a time and waiting for its completion on this thread.
class Reader {
 public:
  virtual ~Reader() = default;
  // `busy` keeps this thread from the event loop (or the wait) that long after the read starts,
  // as a monitor cycle or a message box's handler does in the program.
  virtual Read Get(const std::string& url, std::chrono::milliseconds busy = 0ms) = 0;

 protected:
  // The completion that keeps the read's outcome in `read` and counts its calls.
  static IUrlTransport::Completion Recording(Read& read) {
    return [&read](bool ok, std::string bytes) {
      ++read.calls;
      read.ok = ok;
      read.bytes = std::move(bytes);
    };
  }
};

// The desktop program's transport: completions come through Qt's event loop.
class QtReader final : public Reader {
 public:
  Read Get(const std::string& url, std::chrono::milliseconds busy) override {
    Read read;
    const auto start = Clock::now();
    transport_.Get(url, Recording(read));
    std::this_thread::sleep_for(busy);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (read.calls > 0 || Clock::now() - start > kHung) loop.quit();
    });
    poll.start(5);
    loop.exec();
    read.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return read;
  }

 private:
  QtUrlTransport transport_{std::chrono::duration_cast<std::chrono::seconds>(kHung), kDeadline};
};

// tarnwickd's transport: completions come while the thread waits in WaitFor.
class CurlReader final : public Reader {
 public:
  Read Get(const std::string& url, std::chrono::milliseconds busy) override {
    Read read;
    const auto start = Clock::now();
    transport_.Get(url, Recording(read));
    std::this_thread::sleep_for(busy);
    while (read.calls == 0 && Clock::now() - start < kHung) transport_.WaitFor(50ms);
    read.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return read;
  }

 private:
  CurlUrlTransport transport_{CurlUrlTransport::Limits{kDeadline, kUrlReplyLimit}};
};

// tarnwickd's engine as the Windows build has it, run under Wine one read per process
// (tests/url/url_probe.cpp); the folder of the Windows build is named by TARNWICK_WINDOWS_BIN.
class WineReader final : public Reader {
 public:
  static std::string Probe() {
    const char* folder = std::getenv("TARNWICK_WINDOWS_BIN");
    if (folder == nullptr || *folder == '\0') return "";
    const std::string probe = std::string(folder) + "/tarnwick_url_probe.exe";
    return QFile::exists(QString::fromStdString(probe)) ? probe : "";
  }

  Read Get(const std::string& url, std::chrono::milliseconds busy) override {
    Read read;
    QProcess wine;
    wine.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wine.start("/usr/bin/wine",
               {QString::fromStdString(Probe()), QString::fromStdString(url),
                QString::number(kDeadline.count()), QString::number(busy.count())});
    if (!wine.waitForFinished(60'000)) {
      wine.kill();
      wine.waitForFinished(5'000);
      return read;
    }
    for (const QByteArray& line : wine.readAllStandardOutput().split('\n')) {
      const QList<QByteArray> words = line.trimmed().split(' ');
      if (words[0] == "ok" || words[0] == "failed") {
        ++read.calls;
        read.ok = words[0] == "ok";
        if (read.ok && words.size() > 1) read.bytes = QByteArray::fromHex(words[1]).toStdString();
      } else if (words[0] == "ms" && words.size() > 1) {
        read.took = std::chrono::milliseconds(words[1].toLongLong());
      } else if (words[0] == "peak" && words.size() > 1) {
        read.peakKiB = words[1].toLong();
      }
    }
    return read;
  }
};

// All of them read SSL_CERT_FILE as they are made.
std::unique_ptr<Reader> MakeReader(const std::string& kind) {
  if (kind == "Qt") return std::make_unique<QtReader>();
  if (kind == "CurlUnderWine") return std::make_unique<WineReader>();
  return std::make_unique<CurlReader>();
}

// The stand-ins of a case, all named "localhost" (Windows' TLS matches a certificate by name
// only): the service over http, over https, and an "other host" on a port of its own.
// `PlainByName` is the http stand-in named 127.0.0.1: another name of the same machine and port.
// `Closed` is a port nobody listens on.
enum class At { None, Plain, PlainByName, Other, Secure, Closed };

struct Case {
  const char* name;
  At start;             // where the read goes
  std::string control;  // the start stand-in's behaviour ("mode=...")
  At away;              // the server its redirect-away names
  bool trusted;         // SSL_CERT_FILE names the https stand-in's certificate
  bool ok;
  std::string body;   // the reply when ok; "*" for any
  int startRequests;  // requests that reach the start stand-in; -1: not counted
  int awayRequests;   // requests that reach the server `away` names
  bool atDeadline;    // the stand-in never ends its reply; the deadline ends the read
};

const Case kCases[] = {
    // name, start, control, away, trusted, ok, body, start requests, away requests, deadline
    {"PlainLogin", At::Plain, "mode=normal", At::None, true, true, kLoginAnswer, 1, 0, false},
    {"TwoHopsOnTheSameHost", At::Plain, "mode=redirect&hops=2", At::None, true, true, kLoginAnswer,
     3, 0, false},
    {"FiveHopsOnTheSameHost", At::Plain, "mode=redirect&hops=5", At::None, true, true, kLoginAnswer,
     6, 0, false},
    {"SixHopsAreOneTooMany", At::Plain, "mode=redirect&hops=6", At::None, true, false, "", 6, 0,
     false},
    {"EndlessRedirects", At::Plain, "mode=redirect-loop", At::None, true, false, "", 6, 0, false},
    {"RedirectToAnotherNameOfThisMachine", At::Plain, "mode=redirect-away", At::PlainByName, true,
     false, "", 1, 0, false},
    {"RedirectToAnotherPort", At::Plain, "mode=redirect-away", At::Other, true, false, "", 1, 0,
     false},
    {"UpgradeToHttpsOnTheSameHost", At::Plain, "mode=redirect-away", At::Secure, true, true,
     kLoginAnswer, 1, 1, false},
    {"HttpsWithTheTrustedCertificate", At::Secure, "mode=normal", At::None, true, true,
     kLoginAnswer, 1, 0, false},
    {"HttpsWithAnUntrustedCertificate", At::Secure, "mode=normal", At::None, false, false, "", 0, 0,
     false},
    {"DowngradeFromHttpsToHttp", At::Secure, "mode=redirect-away", At::Other, true, false, "", 1, 0,
     false},
    {"ServerError", At::Plain, "mode=error500", At::None, true, false, "", 1, 0, false},
    {"DroppedConnection", At::Plain, "mode=drop", At::None, true, false, "", 1, 0, false},
    {"RefusedConnection", At::Closed, "", At::None, true, false, "", -1, 0, false},
    {"SilentServer", At::Plain, "mode=slow&delay=30", At::None, true, false, "", 1, 0, true},
    {"TricklingReply", At::Plain, "mode=trickle", At::None, true, false, "", 1, 0, true},
    {"FloodWithoutALength", At::Plain, "mode=flood", At::None, true, false, "", 1, 0, false},
    {"ChunkedFloodOfAGigabyte", At::Plain, "mode=flood-chunked", At::None, true, false, "", 1, 0,
     false},
    // The body is taken as sent: no transport asks for or unpacks a compressed reply.
    {"CompressedReplyTakenAsSent", At::Plain, "mode=gzip", At::None, true, true, "\x1f\x8b", 1, 0,
     false},
    {"GarbageReply", At::Plain, "mode=garbage", At::None, true, true, "*", 1, 0, false},
};

class TransportRules : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "tarnwick_transport_rules_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    dir_ = new TempDir;
    certified_ = MakeCertificate(*dir_, "service") && MakeCertificate(*dir_, "stranger");
    const QStringList account{"--account", kAccount, "--password", kPassword,
                              "--credits", "120",    "--api-id",   "ab12cd"};
    plain_ = new StandIn(*dir_ / "plain.jsonl", account);
    other_ = new StandIn(*dir_ / "other.jsonl", account);
    secure_ = new StandIn(
        *dir_ / "secure.jsonl",
        account + QStringList{"--tls-cert", QString::fromStdString(*dir_ / "service.pem"),
                              "--tls-key", QString::fromStdString(*dir_ / "service.key")});
  }
  static void TearDownTestSuite() {
    for (StandIn* standIn : {plain_, other_, secure_}) delete standIn;
    delete dir_;
  }

  void SetUp() override {
    if (GetParam() == "CurlUnderWine" && WineReader::Probe().empty()) {
      GTEST_SKIP() << "TARNWICK_WINDOWS_BIN names no folder with tarnwick_url_probe.exe";
    }
    ASSERT_TRUE(certified_) << "openssl made no certificate";
    for (StandIn* standIn : {plain_, other_, secure_}) ASSERT_NE(standIn->port(), 0);
    Trust("service");
  }
  void TearDown() override { UnsetEnv("SSL_CERT_FILE"); }

  static void Trust(const std::string& certificate) {
    SetEnv("SSL_CERT_FILE", *dir_ / (certificate + ".pem"));
  }

  static StandIn* Server(At at) {
    switch (at) {
      case At::Plain:
      case At::PlainByName:
        return plain_;
      case At::Other:
        return other_;
      case At::Secure:
        return secure_;
      default:
        return nullptr;
    }
  }

  // The scheme and authority of a server as a client names it.
  static std::string Base(At at) {
    const auto base = [](const char* scheme, const std::string& host, int port) {
      return std::string(scheme) + "://" + host + ":" + std::to_string(port);
    };
    switch (at) {
      case At::Plain:
        return base("http", "localhost", plain_->port());
      case At::PlainByName:
        return base("http", "127.0.0.1", plain_->port());
      case At::Other:
        return base("http", "localhost", other_->port());
      case At::Secure:
        return base("https", "localhost", secure_->port());
      case At::Closed: {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return base("http", "localhost", probe.serverPort());
      }
      default:
        return "";
    }
  }

  // Sets a stand-in's behaviour through its control page, read with the libcurl transport (the
  // https one trusts the stand-in's certificate for it).
  static void Control(At at, const std::string& query) {
    const Read set = MakeReader("Curl")->Get(Base(at) + "/control?" + query);
    ASSERT_TRUE(set.ok) << query;
  }

  // Requests other than control pages that reached a server under the host name a client used
  // for it (the Host header), from the `skip`th request of its log on.
  static int RequestsTo(At at, size_t skip) {
    const StandIn* server = Server(at);
    if (server == nullptr) return 0;
    const std::string authority = Base(at).substr(Base(at).find("://") + 3);
    const std::vector<std::string> lines = server->Requests();
    int count = 0;
    for (size_t i = skip; i < lines.size(); ++i) {
      if (lines[i].find("\"path\": \"/control\"") != std::string::npos) continue;
      if (lines[i].find("\"Host\": \"" + authority + "\"") != std::string::npos) ++count;
    }
    return count;
  }

  static TempDir* dir_;
  static bool certified_;
  static StandIn* plain_;
  static StandIn* other_;
  static StandIn* secure_;
};

TempDir* TransportRules::dir_ = nullptr;
bool TransportRules::certified_ = false;
StandIn* TransportRules::plain_ = nullptr;
StandIn* TransportRules::other_ = nullptr;
StandIn* TransportRules::secure_ = nullptr;

TEST_P(TransportRules, KeepTheSameRulesAgainstAHostileService) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Trust("service");
    for (At at : {At::Plain, At::Other, At::Secure}) Control(at, "mode=normal&hops=1&to=");
    if (!c.control.empty()) {
      const std::string to = c.away == At::None ? "" : "&to=" + Base(c.away);
      Control(c.start, c.control + to);
    }
    const size_t startBefore = Server(c.start) ? Server(c.start)->Requests().size() : 0;
    const size_t awayBefore = Server(c.away) ? Server(c.away)->Requests().size() : 0;
    Trust(c.trusted ? "service" : "stranger");
    const std::unique_ptr<Reader> reader = MakeReader(GetParam());

    const Read read = reader->Get(Base(c.start) + kLogin);

    EXPECT_EQ(read.calls, 1);
    EXPECT_EQ(read.ok, c.ok);
    if (!c.ok) {
      EXPECT_EQ(read.bytes, "");
    } else if (c.body != "*") {
      EXPECT_EQ(read.bytes.substr(0, c.body.size()), c.body);
    }
    if (c.startRequests >= 0) {
      EXPECT_EQ(RequestsTo(c.start, startBefore), c.startRequests);
    }
    EXPECT_EQ(RequestsTo(c.away, awayBefore), c.awayRequests)
        << "requests that reached " << Base(c.away);
    if (c.atDeadline) {
      EXPECT_GE(read.took, kDeadline - 100ms);
      EXPECT_LT(read.took, kDeadline + 5s);
    }
  }
}

// However long the flood, and however long the thread that takes the completions is busy
// meanwhile, a read holds at most the reply cap and the transport's own buffers: its peak memory
// is that of a short reply.
TEST_P(TransportRules, AGigabyteFloodCostsNoMoreMemoryThanAShortReply) {
  const std::unique_ptr<Reader> reader = MakeReader(GetParam());
  // The peak of the process that read: this one, or the reader's own.
  const auto peakOf = [&](const std::string& url, std::chrono::milliseconds busy, Read& read) {
    RestartPeak();
    read = reader->Get(url, busy);
    return read.peakKiB >= 0 ? read.peakKiB : PeakKiB();
  };
  Control(At::Plain, "mode=normal&hops=1&to=");
  Read read;
  peakOf(Base(At::Plain) + kLogin, 0ms, read);  // threads and caches in place
  ASSERT_TRUE(read.ok);
  const long shortPeak = peakOf(Base(At::Plain) + kLogin, 0ms, read);
  ASSERT_TRUE(read.ok);

  Control(At::Plain, "mode=flood-chunked");
  const long floodPeak = peakOf(Base(At::Plain) + kLogin, 1s, read);

  EXPECT_FALSE(read.ok);
  EXPECT_LT(floodPeak - shortPeak, 10 * 1024)
      << "peak " << floodPeak << " KiB in the flood, " << shortPeak << " KiB for a short reply";
}

// SSL_CERT_FILE in a folder whose name lies outside Windows' ANSI code page (Greek under cp1252,
// which Wine takes for the C.UTF-8 locale), and the https stand-in by name and by IP address; its
// certificate names both. libcurl's Schannel compares only DNS names, so under Wine the address
// is refused before any request reaches the server (docs/windows.md).
TEST_P(TransportRules, TrustTheCaFileFromAnyFolderAndCheckTheServersName) {
  const bool wine = GetParam() == "CurlUnderWine";
  struct Where {
    const char* host;
    bool ok;
  };
  const Where cases[] = {{"localhost", true}, {"127.0.0.1", !wine}};
  const std::string folder = *dir_ / "Πιστοποιητικά";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(*dir_ / "service.pem", folder + "/service.pem",
                             std::filesystem::copy_options::overwrite_existing);
  Control(At::Secure, "mode=normal&hops=1&to=");
  const char* locale = std::getenv("LC_ALL");
  const std::string localeBefore = locale != nullptr ? locale : "";
  SetEnv("LC_ALL", "C.UTF-8");
  SetEnv("SSL_CERT_FILE", folder + "/service.pem");
  for (const Where& where : cases) {
    SCOPED_TRACE(where.host);
    const size_t before = secure_->Requests().size();
    const Read read = MakeReader(GetParam())
                          ->Get("https://" + std::string(where.host) + ":" +
                                std::to_string(secure_->port()) + kLogin);
    EXPECT_EQ(read.ok, where.ok);
    if (where.ok) {
      EXPECT_EQ(read.bytes.substr(0, sizeof kLoginAnswer - 1), kLoginAnswer);
    }
    EXPECT_EQ(secure_->Requests().size() - before, where.ok ? 1u : 0u);
  }
  if (locale != nullptr) {
    SetEnv("LC_ALL", localeBefore);
  } else {
    UnsetEnv("LC_ALL");
  }
}

INSTANTIATE_TEST_SUITE_P(BothTransports, TransportRules,
                         ::testing::Values("Qt", "Curl", "CurlUnderWine"),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           return param.param;
                         });

}  // namespace
}  // namespace tarnwick::testing
