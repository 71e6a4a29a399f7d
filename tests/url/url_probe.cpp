// One read through CurlUrlTransport in a process of its own, so that the table of transport rules
// can run the Windows build under Wine:
//
//   tarnwick_url_probe URL DEADLINE_MS BUSY_MS
//
// starts the read, keeps the thread busy for BUSY_MS, waits for the completion and prints
// "ok HEX" (the reply's bytes in hex) or "failed", then "ms N" (the read's time) and "peak KIB"
// (the process's peak memory). SSL_CERT_FILE is read as the program reads it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "domain/url_rules.h"
#include "platform/curl/curl_url_transport.h"
#include "support/peak_memory.h"

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s URL DEADLINE_MS BUSY_MS\n", argv[0]);
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  tarnwick::CurlUrlTransport transport(tarnwick::CurlUrlTransport::Limits{
      std::chrono::milliseconds(std::atol(argv[2])), tarnwick::kUrlReplyLimit});
  bool done = false;
  bool ok = false;
  std::string bytes;
  const auto start = Clock::now();
  transport.Get(argv[1], [&](bool success, std::string reply) {
    done = true;
    ok = success;
    bytes = std::move(reply);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[3])));
  while (!done) transport.WaitFor(std::chrono::milliseconds(50));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  if (ok) {
    std::printf("ok ");
    for (unsigned char c : bytes) std::printf("%02x", c);
    std::printf("\n");
  } else {
    std::printf("failed\n");
  }
  std::printf("ms %lld\npeak %ld\n", static_cast<long long>(ms), tarnwick::testing::PeakKiB());
  return 0;
}
