// Running the real program from a program folder of its own, without a display: the folder with
// the executable and its assets, the environment, and the running child with its output.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwick::testing {

using SteadyClock = std::chrono::steady_clock;

// Whether `text` (a program's output, a log, a mailbox) holds `part`.
inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline const char* const kAssets[] = {"eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav",
                                      "Hand-m.cur"};

// Copies the built programs the test names (tarnwick, tarnwickd), the mailer and the assets into
// `folder`.
inline void MakeProgramFolder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
#ifdef TARNWICK_EXECUTABLE
  fs::copy_file(TARNWICK_EXECUTABLE, folder / "tarnwick");
#endif
#ifdef TARNWICKD_EXECUTABLE
  fs::copy_file(TARNWICKD_EXECUTABLE, folder / "tarnwickd");
#endif
  const fs::path built(TARNWICK_PROGRAM_DIR);
  if (fs::exists(built / "mailcmdssl")) fs::copy_file(built / "mailcmdssl", folder / "mailcmdssl");
  for (const char* asset : kAssets) fs::copy_file(built / asset, folder / asset);
}

// A program folder as MakeProgramFolder makes it, with a setting.ini of these 24 lines (null for
// an empty line).
inline void MakeProgramFolder(const std::filesystem::path& folder,
                              const char* const (&settingLines)[24]) {
  MakeProgramFolder(folder);
  std::string setting;
  for (const char* line : settingLines) setting += std::string(line ? line : "") + "\r\n";
  std::ofstream((folder / "setting.ini"), std::ios::binary) << setting;
}

// A folder of the test's own with a copy of every file of the Windows build's program folder
// `windowsBin`, for the programs to run from under Wine.
inline void CopyWindowsProgramFolder(const std::filesystem::path& windowsBin,
                                     const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(windowsBin)) {
    if (entry.is_regular_file()) fs::copy_file(entry.path(), folder / entry.path().filename());
  }
}

inline std::string TodaysLogName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char mmdd[8];
  std::strftime(mmdd, sizeof mmdd, "%m%d", &local);
  return std::string("Tarnwick_log_") + mmdd + ".txt";
}

// The environment of the test without a display, with its own HOME and `extra` entries, which
// replace inherited ones of the same name.
inline std::vector<std::string> ChildEnvironment(const std::string& home,
                                                 const std::vector<std::string>& extra = {}) {
  std::vector<std::string> env;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string e = *entry;
    const std::string name = nameOf(e);
    bool replaced = false;
    for (const std::string& x : extra) replaced = replaced || nameOf(x) == name;
    if (replaced || name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "HOME" ||
        name == "QT_QPA_PLATFORM") {
      continue;
    }
    env.push_back(e);
  }
  env.push_back("HOME=" + home);
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

// The null-ended list of C strings posix_spawn takes; `items` must outlive it.
inline std::vector<char*> SpawnList(const std::vector<std::string>& items) {
  std::vector<char*> list;
  for (const std::string& item : items) list.push_back(const_cast<char*>(item.c_str()));
  list.push_back(nullptr);
  return list;
}

// Keeps one processor busy so that the top process of every sample is a real one.
class BusyThread {
 public:
  BusyThread()
      : thread_([this] {
          volatile unsigned long spin = 0;
          while (!stop_.load(std::memory_order_relaxed)) spin = spin + 1;
        }) {}
  ~BusyThread() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A finished child's exit code and its two output streams.
struct FinishedProgram {
  int exitCode = -1;  // -1 when it did not end normally within the limit
  std::string out;
  std::string err;
};

// Runs a child from an argument list to its end (killed after `limit`), keeping stdout and
// stderr apart. With `input`, that is its whole standard input; without, it keeps the test's.
inline FinishedProgram RunToEnd(const std::vector<std::string>& argv,
                                const std::vector<std::string>& environment,
                                std::chrono::milliseconds limit = std::chrono::seconds(10),
                                const std::string* input = nullptr) {
  FinishedProgram result;
  int in[2] = {-1, -1};
  int out[2];
  int err[2];
  if (input != nullptr && pipe2(in, O_CLOEXEC) != 0) return result;
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input != nullptr) posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  const std::vector<char*> args = SpawnList(argv);
  const std::vector<char*> envp = SpawnList(environment);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  std::thread writer;
  if (input != nullptr) {
    close(in[0]);
    // The input is small; a reader that stops early must not stop the test.
    writer = std::thread([fd = in[1], input] {
      signal(SIGPIPE, SIG_IGN);
      size_t done = 0;
      while (done < input->size()) {
        const ssize_t n = write(fd, input->data() + done, input->size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      close(fd);
    });
  }
  const auto deadline = SteadyClock::now() + limit;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = spawned == 0 ? 2 : 0;
  while (open > 0 && SteadyClock::now() < deadline) {
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  if (spawned == 0) {
    if (open > 0) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (open == 0 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  }
  if (writer.joinable()) writer.join();
  return result;
}

// A child started from an argument list (never a shell) with its standard output collected;
// killed at the end of the test if still running.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& argv,
                 const std::vector<std::string>& environment) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::vector<char*> args = SpawnList(argv);
    const std::vector<char*> envp = SpawnList(environment);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
  }
  ~RunningProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Collects standard output for up to `ms` milliseconds; returns everything so far.
  const std::string& ReadOutput(int ms) {
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, ms) > 0) {
      char buffer[4096];
      ssize_t n;
      while ((n = read(out_, buffer, sizeof buffer)) > 0) output_.append(buffer, n);
    }
    return output_;
  }

  // Reads output until `done` holds or `limit` passes; the last answer of `done`.
  template <typename Done>
  bool WaitForOutput(Done done, std::chrono::milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    while (!done(ReadOutput(100))) {
      if (SteadyClock::now() >= deadline) return done(ReadOutput(0));
    }
    return true;
  }

  // Sends the signal and waits for the end; the exit status, or nullopt when it did not end.
  std::optional<int> Stop(int signal, std::chrono::milliseconds limit) {
    kill(pid_, signal);
    const auto deadline = SteadyClock::now() + limit;
    while (SteadyClock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      ReadOutput(50);
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

}  // namespace tarnwick::testing
