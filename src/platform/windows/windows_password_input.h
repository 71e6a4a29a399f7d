// The password from standard input on Windows: the console's echo is turned off while it is read
// (as UTF-16, so any letter arrives whole); a pipe or file is read as bytes (UTF-8).
#pragma once

#include "platform/password_input.h"

namespace tarnwick {

class WindowsPasswordInput final : public IPasswordInput {
 public:
  PasswordRead ReadLine(const std::string& prompt) override;
};

}  // namespace tarnwick
