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
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwick::testing {

using SteadyClock = std::chrono::steady_clock;

inline const char* const kAssets[] = {"eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav",
                                      "Hand-m.cur"};

// Copies the built program, its mailer and its assets into `folder`.
inline void MakeProgramFolder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  fs::copy_file(TARNWICK_EXECUTABLE, folder / "tarnwick");
  const fs::path built(TARNWICK_PROGRAM_DIR);
  if (fs::exists(built / "mailcmdssl")) fs::copy_file(built / "mailcmdssl", folder / "mailcmdssl");
  for (const char* asset : kAssets) fs::copy_file(built / asset, folder / asset);
}

inline std::string TodaysLogName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char mmdd[8];
  std::strftime(mmdd, sizeof mmdd, "%m%d", &local);
  return std::string("Tarnwick_log_") + mmdd + ".txt";
}

// The environment of the test without a display, with its own HOME and `extra` entries.
inline std::vector<std::string> ChildEnvironment(const std::string& home,
                                                 const std::vector<std::string>& extra = {}) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string e = *entry;
    const std::string name = e.substr(0, e.find('='));
    if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "HOME" ||
        name == "QT_QPA_PLATFORM") {
      continue;
    }
    env.push_back(e);
  }
  env.push_back("HOME=" + home);
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
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
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
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
