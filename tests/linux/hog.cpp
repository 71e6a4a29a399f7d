// A load generator for tests: a child process that burns CPU, holds memory or just sleeps.
// Tests copy this executable under other names to have loads that show under those names.
//
//   tarnwick_hog burn [seconds]     spin on one CPU (for ever, or the given seconds)
//   tarnwick_hog touch <MiB> [s]    allocate MiB mebibytes, write every page, then sleep
//   tarnwick_hog sleep [seconds]    sleep (for ever, or the given seconds)
//   tarnwick_hog as <name> <mode>   rename its task (prctl PR_SET_NAME), then one of the above
//
// Once the load stands (the memory is touched, the spinning or sleeping begins) it writes
// "ready\n" on stdout. It ends with its parent (PR_SET_PDEATHSIG), so a test that dies leaves
// no hog behind; exit code 2 means bad arguments, 3 that the memory could not be had.
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

void Ready() {
  static const char kReady[] = "ready\n";
  (void)!write(STDOUT_FILENO, kReady, sizeof kReady - 1);
}

double Seconds(int argc, char** argv, int index) {
  if (argc <= index) return -1;  // for ever
  return std::strtod(argv[index], nullptr);
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void SleepFor(double seconds) {
  if (seconds < 0) {
    for (;;) pause();
  }
  const double end = Now() + seconds;
  for (double left = seconds; left > 0; left = end - Now()) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(left);
    ts.tv_nsec = static_cast<long>((left - static_cast<double>(ts.tv_sec)) * 1e9);
    nanosleep(&ts, nullptr);
  }
  std::exit(0);
}

int Usage() {
  static const char kUsage[] = "usage: hog burn [seconds] | touch <MiB> | sleep [seconds]\n";
  (void)!write(STDERR_FILENO, kUsage, sizeof kUsage - 1);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) return 0;  // the parent is already gone
  if (argc >= 3 && std::strcmp(argv[1], "as") == 0) {
    prctl(PR_SET_NAME, argv[2]);
    argv += 2;
    argc -= 2;
  }
  if (argc < 2) return Usage();

  if (std::strcmp(argv[1], "burn") == 0) {
    const double seconds = Seconds(argc, argv, 2);
    const double end = Now() + seconds;
    Ready();
    volatile unsigned long long spin = 0;
    for (;;) {
      for (int i = 0; i < 1000000; ++i) spin = spin + 1;
      if (seconds >= 0 && Now() >= end) return 0;
    }
  }
  if (std::strcmp(argv[1], "touch") == 0) {
    if (argc < 3) return Usage();
    const unsigned long long mib = std::strtoull(argv[2], nullptr, 10);
    const size_t bytes = static_cast<size_t>(mib) << 20;
    if (bytes > 0) {
      void* memory =
          mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (memory == MAP_FAILED) return 3;
      const long page = sysconf(_SC_PAGESIZE);
      auto* bytesAt = static_cast<volatile unsigned char*>(memory);
      for (size_t at = 0; at < bytes; at += static_cast<size_t>(page)) {
        bytesAt[at] = static_cast<unsigned char>(at / static_cast<size_t>(page));
      }
    }
    Ready();
    SleepFor(Seconds(argc, argv, 3));
  }
  if (std::strcmp(argv[1], "sleep") == 0) {
    Ready();
    SleepFor(Seconds(argc, argv, 2));
  }
  return Usage();
}
