#include "platform/posix/posix_mailer_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>
#include <thread>

extern char** environ;

namespace tarnwick {

namespace {

bool IsExecutableFile(const std::string& program) {
  struct stat info {};
  return stat(program.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(program.c_str(), X_OK) == 0;
}

// Writes all of `text` to `fd`. A child that exits before reading everything makes the write
// fail with EPIPE; the SIGPIPE that comes with it is blocked on this thread and taken off again,
// so it never reaches the rest of the program.
void WriteAll(int fd, const std::string& text) {
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const timespec noWait{0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &noWait) == SIGPIPE) {
  }
}

void Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

bool PosixMailerLauncher::Start(const std::string& program, const std::string& standardInput) {
  if (!IsExecutableFile(program)) return false;

  // Both ends close on exec: no other child started meanwhile may hold the write end, or this
  // child would never see the end of its input. dup2 onto fd 0 clears the flag for the child.
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  const int readEnd = ends[0];
  const int writeEnd = ends[1];

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, readEnd, STDIN_FILENO);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  const int spawnError = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(readEnd);
  if (spawnError != 0) {
    close(writeEnd);
    return false;
  }

  try {
    std::thread([pid, writeEnd, text = standardInput] {
      WriteAll(writeEnd, text);
      close(writeEnd);
      Reap(pid);
    }).detach();
  } catch (const std::system_error&) {
    // No thread to feed it: the child reads an empty input, refuses it and ends at once.
    close(writeEnd);
    Reap(pid);
    return false;
  }
  return true;
}

}  // namespace tarnwick
