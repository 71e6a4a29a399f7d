// A load generator for tests: a child process that burns CPU, holds memory or just sleeps.
// Tests copy this executable under other names to have loads that show under those names.
//
//   tarnwick_hog burn [seconds]     spin on one CPU (for ever, or the given seconds)
//   tarnwick_hog touch <MiB> [s]    allocate MiB mebibytes, write every page, then sleep
//   tarnwick_hog sleep [seconds]    sleep (for ever, or the given seconds)
//   tarnwick_hog as <name> <mode>   rename its task (prctl PR_SET_NAME), then one of the above
//   tarnwick_hog detach <mode>      run the mode on a second thread once the main thread has
//                                   ended (pthread_exit): the main thread stays a zombie while
//                                   the process runs on
//   tarnwick_hog hop <ms> <seconds> spin, and every <ms> fork and let the parent end, so the load
//                                   moves to a new pid; all hops in one process group, none
//                                   after <seconds> or once stdout is closed
//   tarnwick_hog spawn <program> <ms>  start <program> burn <ms/1000> and wait for it, again and
//                                   again: the load lies in short-lived children
//   tarnwick_hog ghosts <zombies> <spinners>  start <zombies> threads, let a child of its own trace
//                                   them and end them, so they stay listed as zombies the child
//                                   never collects; then <spinners> threads spin for ever and the
//                                   main thread ends: a process whose live threads stand behind a
//                                   long list of ended ones
//
// Once the load stands (the memory is touched, the spinning or sleeping begins) it writes
// "ready\n" on stdout. It ends with its parent (PR_SET_PDEATHSIG), so a test that dies leaves
// no hog behind; exit code 2 means bad arguments, 3 that the memory could not be had.
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

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
  static const char kUsage[] =
      "usage: hog [as <name>] [detach] burn [seconds] | touch <MiB> [seconds] | sleep [seconds] "
      "| hop <ms> <seconds> | spawn <program> <ms> | ghosts <zombies> <spinners>\n";
  (void)!write(STDERR_FILENO, kUsage, sizeof kUsage - 1);
  return 2;
}

void Spin(double seconds) {
  const double end = Now() + seconds;
  volatile unsigned long long spin = 0;
  while (Now() < end) {
    for (int i = 0; i < 100000; ++i) spin = spin + 1;
  }
}

[[noreturn]] void Hop(double everySeconds, double forSeconds) {
  setpgid(0, 0);
  const double end = Now() + forSeconds;
  Ready();
  for (;;) {
    Spin(everySeconds);
    if (Now() >= end) std::exit(0);
    const pid_t next = fork();
    if (next < 0) std::exit(3);
    if (next > 0) _exit(0);  // the load goes on in the child, under a new pid
    // Its parent has just ended: the hop would outlive the test without its stdout to tell.
    static const char kHop[] = "hop\n";
    if (write(STDOUT_FILENO, kHop, sizeof kHop - 1) < 0) std::exit(0);
  }
}

[[noreturn]] void Spawn(const char* program, double everySeconds) {
  const std::string seconds = std::to_string(everySeconds);
  bool ready = false;
  for (;;) {
    const pid_t child = fork();
    if (child < 0) std::exit(3);
    if (child == 0) {
      const char* args[] = {program, "burn", seconds.c_str(), nullptr};
      // Its stdout is not the test's: the child's own "ready" would be taken for the parent's.
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, STDOUT_FILENO);
      execv(program, const_cast<char* const*>(args));
      _exit(127);
    }
    if (!ready) Ready();
    ready = true;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::exit(3);
  }
}

// The ghosts: threads that wait for the word to end, and the tids they run under.
std::atomic<int> g_ghostsUp{0};
int g_release[2] = {-1, -1};

void* Ghost(void* tidOut) {
  *static_cast<pid_t*>(tidOut) = static_cast<pid_t>(syscall(SYS_gettid));
  g_ghostsUp.fetch_add(1);
  char go = 0;
  (void)!read(g_release[0], &go, 1);
  return nullptr;
}

void* Spinner(void*) {
  // The death signal is a thread's own; the main thread that asked for it is about to end.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  volatile unsigned long long spin = 0;
  for (;;) spin = spin + 1;
}

// The state letter of one of this process's threads, '?' when it cannot be read.
char ThreadState(pid_t tid) {
  const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return '?';
  char text[512];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return '?';
  text[n] = '\0';
  const char* close = std::strrchr(text, ')');
  return close != nullptr && close[1] == ' ' ? close[2] : '?';
}

[[noreturn]] void Ghosts(int zombies, int spinners) {
  if (zombies < 1 || spinners < 1 || pipe2(g_release, O_CLOEXEC) != 0) std::exit(2);
  std::vector<pid_t> tids(static_cast<size_t>(zombies), 0);
  for (pid_t& tid : tids) {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, Ghost, &tid) != 0) std::exit(3);
    pthread_detach(thread);
  }
  while (g_ghostsUp.load() < zombies) usleep(1000);

  // The tracer: a child that attaches to every ghost once allowed to, says so, and never
  // collects one.
  int allowed[2];
  int attached[2];
  if (pipe2(allowed, O_CLOEXEC) != 0 || pipe2(attached, O_CLOEXEC) != 0) std::exit(3);
  const pid_t tracer = fork();
  if (tracer < 0) std::exit(3);
  if (tracer == 0) {
    // No death signal: it would come when the thread that forked this child ends, and that is
    // the main thread, which ends on purpose. The tracer ends once the whole hog has, which lets
    // the ghosts go and the hog be collected.
    const pid_t hog = getppid();
    char go = 0;
    if (read(allowed[0], &go, 1) != 1) _exit(3);
    for (pid_t tid : tids) {
      if (ptrace(PTRACE_SEIZE, tid, nullptr, nullptr) != 0) _exit(3);
    }
    (void)!write(attached[1], "a", 1);
    while (getppid() == hog) usleep(10000);
    _exit(0);
  }
  // A process may trace only its descendants unless the tracee allows another one.
  prctl(PR_SET_PTRACER, static_cast<unsigned long>(tracer));
  (void)!write(allowed[1], "a", 1);
  char ok = 0;
  if (read(attached[0], &ok, 1) != 1) std::exit(3);

  // The ghosts end, and stay listed as zombies of the tracer's.
  for (int i = 0; i < zombies; ++i) (void)!write(g_release[1], "g", 1);
  for (pid_t tid : tids) {
    while (ThreadState(tid) != 'Z') usleep(1000);
  }
  for (int i = 0; i < spinners; ++i) {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, Spinner, nullptr) != 0) std::exit(3);
    pthread_detach(thread);
  }
  Ready();
  pthread_exit(nullptr);
}

int Run(int argc, char** argv);

int g_argc = 0;
char** g_argv = nullptr;
pthread_t g_mainThread;

void* RunDetached(void*) {
  // The death signal is a thread's own; the main thread that asked for it is about to end.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  pthread_join(g_mainThread, nullptr);
  std::exit(Run(g_argc, g_argv));
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  if (std::strcmp(argv[1], "detach") == 0) {
    g_argc = argc - 1;
    g_argv = argv + 1;
    g_mainThread = pthread_self();
    pthread_t worker;
    if (pthread_create(&worker, nullptr, RunDetached, nullptr) != 0) return 3;
    pthread_exit(nullptr);
  }
  if (std::strcmp(argv[1], "hop") == 0) {
    if (argc < 4) return Usage();
    Hop(std::strtod(argv[2], nullptr) / 1000.0, std::strtod(argv[3], nullptr));
  }
  if (std::strcmp(argv[1], "spawn") == 0) {
    if (argc < 4) return Usage();
    Spawn(argv[2], std::strtod(argv[3], nullptr) / 1000.0);
  }
  if (std::strcmp(argv[1], "ghosts") == 0) {
    if (argc < 4) return Usage();
    Ghosts(std::atoi(argv[2]), std::atoi(argv[3]));
  }

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
  return Run(argc, argv);
}
