// Reading a password from standard input: without echo on a terminal or console (the prompt goes
// to standard error), as it comes from a pipe or a file otherwise, so configuration tools can
// hand it over without it ever standing on a command line.
#pragma once

#include <cstddef>
#include <string>

namespace tarnwick {

// A password longer than this is refused rather than cut.
inline constexpr size_t kPasswordLimit = 1024;

struct PasswordRead {
  bool ok = false;
  std::string text;    // the line without its line end (UTF-8)
  std::string reason;  // why nothing was read
};

inline constexpr std::string_view kPasswordTooLong = "the password is longer than 1024 bytes";
inline constexpr std::string_view kNoPassword = "standard input ended before a password";

class IPasswordInput {
 public:
  virtual ~IPasswordInput() = default;
  // Reads one line; on a terminal it first writes `prompt` to standard error and reads with the
  // echo off. An empty line is an empty password; end of input before any character is a failure.
  virtual PasswordRead ReadLine(const std::string& prompt) = 0;
};

}  // namespace tarnwick
