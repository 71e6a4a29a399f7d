// Peak memory of one read through each URL transport against the local stand-in of the web
// service: a short reply, a chunked flood of 1 GiB, and the same flood while the thread that takes
// the completions is busy for a second (a monitor cycle, a message box's handler). The peak is
// VmHWM, started again from the present resident set before each read. Started by bench/run.sh
// with the stand-in's path.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "bench_standin.h"
#include "platform/curl/curl_url_transport.h"
#include "platform/qt/qt_url_transport.h"
#include "support/peak_memory.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PeakKiB;
using testing::RestartPeak;

constexpr int kRounds = 10;
constexpr char kLogin[] = "/textpost/php/sms_logon.php?email=ops%40example.org&pwd=secret&now=x";

double Mb(long kib) {
  return static_cast<double>(kib) / 1024.0;
}

struct Outcome {
  bool ok = false;
  long peakKiB = 0;
  double ms = 0;
};

// One read started through `get`, with this thread busy for `busy` first; `wait` runs the
// transport's loop until the completion has come.
Outcome Measure(const std::function<void(const std::string&, IUrlTransport::Completion)>& get,
                const std::function<void(const bool&)>& wait, const std::string& url,
                std::chrono::milliseconds busy) {
  Outcome outcome;
  bool done = false;
  RestartPeak();
  const auto start = Clock::now();
  get(url, [&](bool ok, std::string) {
    outcome.ok = ok;
    done = true;
  });
  std::this_thread::sleep_for(busy);
  wait(done);
  outcome.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  outcome.peakKiB = PeakKiB();
  return outcome;
}

bool Control(CurlUrlTransport& curl, const std::string& base, const std::string& query) {
  bool ok = false;
  bool done = false;
  curl.Get(base + "/control?" + query, [&](bool success, std::string) {
    ok = success;
    done = true;
  });
  while (!done) curl.WaitFor(50ms);
  return ok;
}

int Run(const std::string& standIn) {
  bench::StandIn service(standIn, {"--account", "ops@example.org", "--password", "secret"});
  if (service.port().empty()) {
    std::fprintf(stderr, "the stand-in did not start\n");
    return 1;
  }
  const std::string base = "http://127.0.0.1:" + service.port();

  QtUrlTransport qt;
  CurlUrlTransport curl;
  CurlUrlTransport control;
  const auto qtGet = [&](const std::string& url, IUrlTransport::Completion done) {
    qt.Get(url, std::move(done));
  };
  const auto qtWait = [](const bool& done) {
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  };
  const auto curlGet = [&](const std::string& url, IUrlTransport::Completion done) {
    curl.Get(url, std::move(done));
  };
  const auto curlWait = [&](const bool& done) {
    while (!done) curl.WaitFor(50ms);
  };

  std::printf("Peak resident memory of one read (VmHWM, MB; the most of %d rounds)\n", kRounds);
  std::printf("%-22s %12s %14s %22s %10s\n", "transport", "short reply", "1 GiB flood",
              "flood, thread busy 1 s", "flood ms");
  const struct {
    const char* name;
    std::function<void(const std::string&, IUrlTransport::Completion)> get;
    std::function<void(const bool&)> wait;
  } transports[] = {{"Qt (desktop program)", qtGet, qtWait},
                    {"libcurl (tarnwickd)", curlGet, curlWait}};
  long worst = 0;
  for (const auto& t : transports) {
    long shortPeak = 0;
    long floodPeak = 0;
    long busyPeak = 0;
    double floodMs = 0;
    bool allFailed = true;
    if (!Control(control, base, "mode=normal")) return 1;
    Measure(t.get, t.wait, base + kLogin, 0ms);  // threads and caches in place
    for (int round = 0; round < kRounds; ++round) {
      if (!Control(control, base, "mode=normal")) return 1;
      shortPeak = std::max(shortPeak, Measure(t.get, t.wait, base + kLogin, 0ms).peakKiB);
      if (!Control(control, base, "mode=flood-chunked")) return 1;
      const Outcome flood = Measure(t.get, t.wait, base + kLogin, 0ms);
      const Outcome busy = Measure(t.get, t.wait, base + kLogin, 1000ms);
      floodPeak = std::max(floodPeak, flood.peakKiB);
      busyPeak = std::max(busyPeak, busy.peakKiB);
      floodMs = std::max(floodMs, flood.ms);
      allFailed = allFailed && !flood.ok && !busy.ok;
    }
    std::printf("%-22s %12.1f %14.1f %22.1f %10.1f%s\n", t.name, Mb(shortPeak), Mb(floodPeak),
                Mb(busyPeak), floodMs, allFailed ? "" : "  (a flood was read whole!)");
    worst = std::max(worst, std::max(floodPeak, busyPeak) - shortPeak);
  }
  std::printf("Largest rise over a short reply: %ld KiB (target: under 10 MB)\n", worst);
  return 0;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char* argv[]) {
  return tarnwick::bench::StandInBenchMain(argc, argv, &tarnwick::Run);
}
