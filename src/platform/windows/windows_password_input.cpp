#include "platform/windows/windows_password_input.h"

#include <windows.h>

#include <string>

#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

void WriteError(const std::string& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

PasswordRead Finish(std::string text, bool any) {
  PasswordRead read;
  if (!any) {
    read.reason = std::string(kNoPassword);
    return read;
  }
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (text.size() > kPasswordLimit) {
    read.reason = std::string(kPasswordTooLong);
    return read;
  }
  read.ok = true;
  read.text = std::move(text);
  return read;
}

PasswordRead ReadFromConsole(HANDLE input, DWORD mode) {
  SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
  std::wstring line;
  bool any = false;
  bool done = false;
  while (!done && line.size() <= kPasswordLimit) {
    wchar_t c = 0;
    DWORD got = 0;
    if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) break;
    any = true;
    if (c == L'\n') {
      done = true;
    } else {
      line.push_back(c);
    }
  }
  SetConsoleMode(input, mode);
  WriteError("\r\n");
  return Finish(win::Utf8(line), any);
}

// Byte by byte, so that nothing after the line is taken from a pipe that holds more.
PasswordRead ReadFromPipe(HANDLE input) {
  std::string line;
  bool any = false;
  while (line.size() <= kPasswordLimit) {
    char c = 0;
    DWORD got = 0;
    if (!ReadFile(input, &c, 1, &got, nullptr) || got == 0) break;
    any = true;
    if (c == '\n') break;
    line.push_back(c);
  }
  return Finish(std::move(line), any);
}

}  // namespace

PasswordRead WindowsPasswordInput::ReadLine(const std::string& prompt) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) {
    return Finish({}, false);
  }
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) {
    WriteError(prompt);
    return ReadFromConsole(input, mode);
  }
  return ReadFromPipe(input);
}

}  // namespace tarnwick
