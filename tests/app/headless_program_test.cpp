// The real program, started without a display from a program folder of its own: it runs on the
// offscreen platform, monitors with the settings beside it, writes the daily log and echoes it,
// and a SIGTERM ends it cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
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
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kAssets[] = {"eyestop.ico", "eyerun.ico", "alert.wav", "alert1.wav",
                               "Hand-m.cur"};
// An alert-free CPU watch that exceeds on every sample: threshold 0%, 1 s cycle, 3 samples.
const char* const kSettingLines[24] = {"1", "0", "101", "3", "TESTHOST", "1", "", "", "True"};
const std::regex kExceedLine(R"(CPU \d+% exceed 0% for \d+ times\. TOP 1 : \S.* \([0-9.]+%\))");

std::string TodaysLogName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char mmdd[8];
  std::strftime(mmdd, sizeof mmdd, "%m%d", &local);
  return std::string("Tarnwick_log_") + mmdd + ".txt";
}

// The environment of the test without a display, with its own HOME.
std::vector<std::string> ChildEnvironment(const std::string& home) {
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

class RunningProgram {
 public:
  RunningProgram(const std::string& executable, const std::vector<std::string>& environment) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(executable.c_str()), nullptr};
    std::vector<char*> envp;
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
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

  // Sends the signal and waits for the end; the exit status, or nullopt when it did not end.
  std::optional<int> Stop(int signal, std::chrono::milliseconds limit) {
    kill(pid_, signal);
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
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

TEST(HeadlessProgramTest, MonitorsLogsEchoesAndEndsCleanlyOnSigterm) {
  TempDir dir;
  const fs::path program = dir.path() / "program";
  const fs::path home = dir.path() / "home";
  fs::create_directories(program);
  fs::create_directories(home);
  fs::copy_file(TARNWICK_EXECUTABLE, program / "tarnwick");
  for (const char* asset : kAssets) {
    fs::copy_file(fs::path(TARNWICK_PROGRAM_DIR) / asset, program / asset);
  }
  std::string setting;
  for (const char* line : kSettingLines) setting += std::string(line ? line : "") + "\r\n";
  WriteFile((program / "setting.ini").string(), setting);

  BusyThread busy;
  const std::string logDayBefore = TodaysLogName();
  RunningProgram run((program / "tarnwick").string(), ChildEnvironment(home.string()));
  ASSERT_TRUE(run.started());

  std::string log;
  bool done = false;
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (!done && Clock::now() < deadline) {
    const std::string& out = run.ReadOutput(200);
    // Around midnight the file may carry either date.
    log = ReadFile((home / "monitor_log" / TodaysLogName()).string()) +
          ReadFile((home / "monitor_log" / logDayBefore).string());
    done = log.find("Monitoring Started") != std::string::npos &&
           std::regex_search(log, kExceedLine) && std::regex_search(out, kExceedLine);
  }
  const std::string out = run.ReadOutput(0);
  EXPECT_NE(log.find("Monitoring Started"), std::string::npos) << log;
  EXPECT_TRUE(std::regex_search(log, kExceedLine)) << log;
  EXPECT_NE(out.find("Monitoring Started"), std::string::npos) << out;
  EXPECT_TRUE(std::regex_search(out, kExceedLine)) << out;

  const std::optional<int> status = run.Stop(SIGTERM, std::chrono::seconds(5));
  ASSERT_TRUE(status.has_value()) << "still running 5 s after SIGTERM";
  EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 0);
}

}  // namespace
}  // namespace tarnwick::testing
