#include "platform/posix/posix_password_input.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick {
namespace {

void WriteError(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Byte by byte, so that nothing after the line is taken from a pipe that holds more (the next
// password).
PasswordRead ReadUntilNewline() {
  PasswordRead read;
  bool any = false;
  for (;;) {
    char c = 0;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      read.reason = std::strerror(errno);
      return read;
    }
    if (n == 0) {
      if (!any) {
        read.reason = std::string(kNoPassword);
        return read;
      }
      break;
    }
    any = true;
    if (c == '\n') break;
    if (read.text.size() == kPasswordLimit) {
      read.text.clear();
      read.reason = std::string(kPasswordTooLong);
      return read;
    }
    read.text.push_back(c);
  }
  if (!read.text.empty() && read.text.back() == '\r') read.text.pop_back();
  read.ok = true;
  return read;
}

}  // namespace

PasswordRead PosixPasswordInput::ReadLine(const std::string& prompt) {
  termios saved{};
  if (::isatty(STDIN_FILENO) == 0 || ::tcgetattr(STDIN_FILENO, &saved) != 0) {
    return ReadUntilNewline();
  }
  WriteError(prompt);
  termios quiet = saved;
  quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
  quiet.c_lflag |= ECHONL;
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  PasswordRead read = ReadUntilNewline();
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return read;
}

}  // namespace tarnwick
