#include "platform/posix/posix_mailer_launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kEndedWithStatus = "the mailer ended with status ";
constexpr std::string_view kEndedBySignal = "the mailer was ended by signal ";
constexpr std::string_view kTookTooLong = "the mailer gave no answer within ";
constexpr std::string_view kTookTooLongEnd = " s and was stopped";

bool IsExecutableFile(const std::string& program) {
  struct stat info {};
  return stat(program.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(program.c_str(), X_OK) == 0;
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// One mailer run, fed and watched by its own thread.
struct Run {
  pid_t pid = 0;
  int input = -1;   // write end of the child's standard input, non-blocking
  int errors = -1;  // read end of the child's standard error, non-blocking
  std::string text;
  MailerFinished finished;
  PostToUiThread post;
  int timeLimitSeconds = kMailerTimeLimitSeconds;
};

// Writes the text and reads the standard error at the same time (a child that writes much before
// it reads can then never stall on a full pipe), until the child closed its standard error or the
// deadline passed. Returns false at the deadline.
bool FeedAndListen(Run& run, std::string& errorText, Clock::time_point deadline) {
  size_t written = 0;
  char buffer[4096];
  while (run.errors >= 0) {
    pollfd fds[2];
    nfds_t count = 0;
    fds[count++] = {run.errors, POLLIN, 0};
    if (run.input >= 0) fds[count++] = {run.input, POLLOUT, 0};
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    const int ready = poll(fds, count, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return false;
    if (count > 1 && fds[1].revents != 0) {
      const ssize_t n = write(run.input, run.text.data() + written, run.text.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      // Done, or the child closed its end (EPIPE): it gets its end of file either way.
      if (written == run.text.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        close(run.input);
        run.input = -1;
      }
    }
    if (fds[0].revents != 0) {
      const ssize_t n = read(run.errors, buffer, sizeof buffer);
      if (n > 0) {
        // The first line is all that is used; the rest is read only to keep the pipe flowing.
        if (errorText.size() < kMailerReasonLimit + 2) {
          errorText.append(buffer, static_cast<size_t>(n));
        }
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(run.errors);
        run.errors = -1;
      }
    }
  }
  return true;
}

// Waits for the child's end until the deadline; false when it is still running then.
bool WaitForEnd(pid_t pid, int& status, Clock::time_point deadline) {
  while (true) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return true;  // nothing left to reap
    if (MillisecondsLeft(deadline) == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void Watch(Run run) {
  // A child that exits before reading everything makes the write fail with EPIPE; the SIGPIPE
  // that comes with it is blocked on this thread and taken off again, so it never reaches the
  // rest of the program.
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

  const auto deadline = Clock::now() + std::chrono::seconds(run.timeLimitSeconds);
  std::string errorText;
  bool inTime = FeedAndListen(run, errorText, deadline);
  int status = 0;
  inTime = inTime && WaitForEnd(run.pid, status, deadline);
  if (!inTime) {
    kill(run.pid, SIGKILL);
    while (waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  for (int fd : {run.input, run.errors}) {
    if (fd >= 0) close(fd);
  }
  const timespec noWait{0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &noWait) == SIGPIPE) {
  }

  MailerExit outcome;
  if (!inTime) {
    outcome.reason = std::string(kTookTooLong) + std::to_string(run.timeLimitSeconds) +
                     std::string(kTookTooLongEnd);
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    outcome.sent = true;
  } else {
    outcome.reason = MailerReasonLine(errorText);
    if (outcome.reason.empty()) {
      outcome.reason = WIFSIGNALED(status)
                           ? std::string(kEndedBySignal) + std::to_string(WTERMSIG(status))
                           : std::string(kEndedWithStatus) + std::to_string(WEXITSTATUS(status));
    }
  }
  if (run.post && run.finished) {
    run.post(
        [finished = std::move(run.finished), outcome = std::move(outcome)] { finished(outcome); });
  }
}

}  // namespace

PosixMailerLauncher::PosixMailerLauncher(PostToUiThread post, int timeLimitSeconds)
    : post_(std::move(post)), timeLimitSeconds_(timeLimitSeconds) {}

bool PosixMailerLauncher::Start(const std::string& program, const std::string& standardInput,
                                MailerFinished finished) {
  if (!IsExecutableFile(program)) return false;

  // All ends close on exec: no other child started meanwhile may hold a write end, or this child
  // would never see the end of its input (nor this thread the end of its errors). dup2 onto
  // fd 0 and 2 clears the flag for the child.
  int inputEnds[2];
  if (pipe2(inputEnds, O_CLOEXEC) != 0) return false;
  int errorEnds[2];
  if (pipe2(errorEnds, O_CLOEXEC) != 0) {
    close(inputEnds[0]);
    close(inputEnds[1]);
    return false;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inputEnds[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errorEnds[1], STDERR_FILENO);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  const int spawnError = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(inputEnds[0]);
  close(errorEnds[1]);
  if (spawnError != 0) {
    close(inputEnds[1]);
    close(errorEnds[0]);
    return false;
  }
  fcntl(inputEnds[1], F_SETFL, fcntl(inputEnds[1], F_GETFL) | O_NONBLOCK);
  fcntl(errorEnds[0], F_SETFL, fcntl(errorEnds[0], F_GETFL) | O_NONBLOCK);

  Run run;
  run.pid = pid;
  run.input = inputEnds[1];
  run.errors = errorEnds[0];
  run.text = standardInput;
  run.finished = std::move(finished);
  run.post = post_;
  run.timeLimitSeconds = timeLimitSeconds_;
  try {
    std::thread(Watch, std::move(run)).detach();
  } catch (const std::system_error&) {
    // No thread to feed it: the child reads an empty input, refuses it and ends at once.
    close(inputEnds[1]);
    close(errorEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
  }
  return true;
}

}  // namespace tarnwick
