// A load generator for the Windows tests: a child process that burns CPU, holds memory or just
// sleeps. Tests copy this executable under other names to have loads that show under those names.
//
//   win_hog burn            spin on one CPU
//   win_hog touch <MiB>     allocate MiB mebibytes, write every page, then sleep
//   win_hog sleep           sleep
//
// Once the load stands it writes "ready\n" on stdout. It ends when its standard input reaches end
// of file, so a test that dies (and with it the pipe's write end) leaves no hog behind, and after
// five minutes in any case. Exit code 2 means bad arguments, 3 that the memory could not be had.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kLifetimeMs = 5 * 60 * 1000;

DWORD WINAPI EndWithInput(void*) {
  char byte;
  DWORD read = 0;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, &byte, 1, &read, nullptr) && read > 0) {
  }
  ExitProcess(0);
}

void Ready() {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  CreateThread(nullptr, 0, EndWithInput, nullptr, 0, nullptr);
  const ULONGLONG end = GetTickCount64() + kLifetimeMs;
  if (std::strcmp(argv[1], "burn") == 0) {
    Ready();
    volatile unsigned long long spin = 0;
    while (GetTickCount64() < end) {
      for (int i = 0; i < 1000000; ++i) spin = spin + 1;
    }
    return 0;
  }
  if (std::strcmp(argv[1], "touch") == 0) {
    if (argc < 3) return 2;
    const size_t bytes = static_cast<size_t>(std::strtoull(argv[2], nullptr, 10)) << 20;
    auto* memory = static_cast<volatile unsigned char*>(
        VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (memory == nullptr) return 3;
    for (size_t at = 0; at < bytes; at += 4096) memory[at] = static_cast<unsigned char>(at >> 12);
    Ready();
    Sleep(kLifetimeMs);
    return 0;
  }
  if (std::strcmp(argv[1], "sleep") == 0) {
    Ready();
    Sleep(kLifetimeMs);
    return 0;
  }
  return 2;
}
