// Helpers of the Linux tests: temporary folders, and real child processes started from an
// argument list (fork + exec, never a shell), killed and reaped when the test ends.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tarnwick::linuxtest {

// The load generator built beside the tests (tests/linux/hog.cpp).
inline std::string HogPath() {
  return TARNWICK_HOG_PATH;
}

// A folder under /tmp, open to every user (a child under uid 1000 runs programs from it),
// removed with its contents at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    std::filesystem::permissions(path_, std::filesystem::perms(0755));
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  // Writes `text` to the file `name` (parents created); its full path.
  std::string Write(const std::string& name, const std::string& text) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
    return file.string();
  }

  // A copy of the hog under another name, executable by everyone.
  std::string CopyHog(const std::string& name) const {
    const std::filesystem::path target = path_ / name;
    std::filesystem::copy_file(HogPath(), target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms(0755));
    return target.string();
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The state of a process's main thread as its stat line shows it ('Z' once it has ended, also
// while other threads run on), '?' when the line cannot be read.
inline char MainThreadState(pid_t pid) {
  const std::string line = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

// Waits up to 5 s until the main thread of `pid` has ended; false if it has not.
inline bool WaitMainThreadEnded(pid_t pid) {
  for (int i = 0; i < 500; ++i) {
    if (MainThreadState(pid) == 'Z') return true;
    ::usleep(10'000);
  }
  return false;
}

// Ids the child takes between fork and exec (setresuid/setresgid semantics).
struct Ids {
  uid_t ruid, euid, suid;
  gid_t gid;
};

// How the child is set up between fork and exec.
struct ChildOptions {
  std::optional<Ids> ids;            // other user and group ids
  std::optional<std::string> argv0;  // what the program sees as its name (default: `program`)
  std::optional<int> nice;           // another nice value (-20 needs root)
  std::optional<int> cpu;            // runs on this processor only

  static ChildOptions WithIds(Ids value) {
    ChildOptions o;
    o.ids = value;
    return o;
  }
  static ChildOptions WithArgv0(std::string value) {
    ChildOptions o;
    o.argv0 = std::move(value);
    return o;
  }
  static ChildOptions WithNice(int value) {
    ChildOptions o;
    o.nice = value;
    return o;
  }
};

// A child process running a program with an argument list; its stdout is a pipe the test reads.
class Child {
 public:
  Child(const std::string& program, const std::vector<std::string>& args,
        const ChildOptions& options = {}) {
    const std::optional<Ids>& ids = options.ids;
    std::vector<std::string> all;
    all.push_back(options.argv0.value_or(program));
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls from here to exec.
      dup2(fds[1], STDOUT_FILENO);
      if (options.nice && setpriority(PRIO_PROCESS, 0, *options.nice) != 0) _exit(125);
      if (options.cpu) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(*options.cpu, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) _exit(125);
      }
      if (ids) {
        if (setgroups(0, nullptr) != 0 || setresgid(ids->gid, ids->gid, ids->gid) != 0 ||
            setresuid(ids->ruid, ids->euid, ids->suid) != 0) {
          _exit(126);
        }
      }
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    Kill();
    if (out_ >= 0) close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }

  // Waits until the child has written "ready" (the hog does once its load stands); false on
  // end of file or after `limit`.
  bool WaitReady(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    if (out_ < 0 || pid_ <= 0) return false;
    const auto end = std::chrono::steady_clock::now() + limit;
    std::string seen;
    while (seen.find("ready\n") == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{out_, POLLIN, 0};
      const int r = poll(&p, 1, static_cast<int>(left.count()));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      char buffer[64];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return false;
      seen.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

  // Kills and reaps the child; its exit status (as waitpid reports it), or -1.
  int Kill() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGKILL);
    int status = -1;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

}  // namespace tarnwick::linuxtest
