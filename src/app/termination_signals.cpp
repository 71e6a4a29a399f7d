#include "termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace tarnwick {

namespace {

// The write end for the handler; -1 while no instance is installed.
volatile sig_atomic_t gWriteFd = -1;
int gReadFd = -1;

extern "C" void OnTerminationSignal(int) {
  const int savedErrno = errno;
  const int fd = gWriteFd;
  if (fd >= 0) {
    const char byte = 1;
    // A full socket already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
  }
  errno = savedErrno;
}

bool InstallHandler(int signalNumber) {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(signalNumber, &action, nullptr) == 0;
}

void RestoreDefault(int signalNumber) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (gWriteFd >= 0) return;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return;
  gReadFd = fds[0];
  gWriteFd = fds[1];
  notifier_ = new QSocketNotifier(gReadFd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    Drain();
    emit terminationRequested();
  });
  InstallHandler(SIGINT);
  InstallHandler(SIGTERM);
}

TerminationSignals::~TerminationSignals() {
  if (notifier_ == nullptr) return;
  RestoreDefault(SIGINT);
  RestoreDefault(SIGTERM);
  const int writeFd = gWriteFd;
  gWriteFd = -1;
  close(writeFd);
  close(gReadFd);
  gReadFd = -1;
}

void TerminationSignals::Drain() {
  char buffer[64];
  while (read(gReadFd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace tarnwick
