// A stand-in for the mailer on Windows, which runs no scripts: it takes no arguments (as the
// launcher starts it), so its own file name tells how to end. "sent": reads its whole input and
// exits 0; "status7": exits 7; "complains": writes two lines to standard error and exits 3;
// "hangs": never ends.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

int main(int, char** argv) {
  std::string self = argv[0];
  self = self.substr(self.find_last_of("\\/") + 1);
  const auto named = [&self](const char* mode) { return self.find(mode) != std::string::npos; };
  if (named("sent")) {
    const std::string text((std::istreambuf_iterator<char>(std::cin)),
                           std::istreambuf_iterator<char>());
    return text.empty() ? 1 : 0;
  }
  if (named("status7")) return 7;
  if (named("complains")) {
    std::fputs("first\tline\r\nsecond\n", stderr);
    return 3;
  }
  if (named("hangs")) std::this_thread::sleep_for(std::chrono::hours(1));
  return 2;
}
