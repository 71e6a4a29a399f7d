// The password from standard input on POSIX: termios turns the echo off on a terminal.
#pragma once

#include "platform/password_input.h"

namespace tarnwick {

class PosixPasswordInput final : public IPasswordInput {
 public:
  PasswordRead ReadLine(const std::string& prompt) override;
};

}  // namespace tarnwick
