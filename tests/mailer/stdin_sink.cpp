// A stand-in for the mailer that is slow to read: waits two seconds, then copies its whole standard
// input to the file named by TARNWICK_SINK_OUT (written under another name and renamed, so the
// test sees either nothing or all of it).
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

int main() {
  const char* target = std::getenv("TARNWICK_SINK_OUT");
  if (target == nullptr) return 2;
#ifdef _WIN32
  // Text mode would stop at Ctrl-Z and turn CR LF into LF.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::string text((std::istreambuf_iterator<char>(std::cin)),
                         std::istreambuf_iterator<char>());
  const std::string partial = std::string(target) + ".partial";
  {
    std::ofstream out(partial, std::ios::binary);
    out << text;
  }
  return std::rename(partial.c_str(), target) == 0 ? 0 : 1;
}
