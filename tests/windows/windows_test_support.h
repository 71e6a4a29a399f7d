// Helpers of the Windows tests: copies of the hog under chosen names, started as real Windows
// processes (CreateProcessW with an argument list, never a shell) and ended with the test.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/windows/handle.h"
#include "platform/windows/wide_text.h"
#include "support/temp_dir.h"

namespace tarnwick::wintest {

// The load generator built beside the tests (tests/windows/win_hog.cpp).
inline std::filesystem::path HogPath() {
  return std::filesystem::path(win::Wide(TARNWICK_WIN_HOG_PATH));
}

inline std::string CopyHog(const testing::TempDir& dir, const std::string& name) {
  const std::filesystem::path target = dir.path() / win::Wide(name);
  std::filesystem::copy_file(HogPath(), target, std::filesystem::copy_options::overwrite_existing);
  return win::Utf8(target.wstring());
}

// A running copy of the hog. Its stdin is a pipe this object holds: closing it ends the hog.
class Child {
 public:
  Child(const std::string& program, const std::vector<std::string>& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    CreatePipe(&inRead, &inWrite, &inheritable, 0);
    CreatePipe(&outRead, &outWrite, &inheritable, 0);
    win::Handle childIn(inRead), childOut(outWrite);
    input_ = win::Handle(inWrite);
    output_ = win::Handle(outRead);
    SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = L"\"" + win::Wide(program) + L"\"";
    for (const std::string& a : arguments) commandLine += L" " + win::Wide(a);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn.get();
    startup.hStdOutput = childOut.get();
    startup.hStdError = childOut.get();
    PROCESS_INFORMATION created{};
    const std::wstring application = win::Wide(program);
    if (CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &created)) {
      process_ = win::Handle(created.hProcess);
      CloseHandle(created.hThread);
      pid_ = static_cast<int>(created.dwProcessId);
    }
  }
  ~Child() {
    if (process_) TerminateProcess(process_.get(), 1);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  int pid() const { return pid_; }
  HANDLE handle() const { return process_.get(); }

  // Waits for the hog's "ready" line.
  bool WaitReady() {
    char text[16];
    DWORD read = 0;
    return pid_ != 0 && ReadFile(output_.get(), text, sizeof text, &read, nullptr) && read > 0;
  }

  // Whether the process has ended within `wait`.
  bool Ended(std::chrono::milliseconds wait) const {
    return WaitForSingleObject(process_.get(), static_cast<DWORD>(wait.count())) == WAIT_OBJECT_0;
  }

 private:
  win::Handle process_;
  win::Handle input_;
  win::Handle output_;
  int pid_ = 0;
};

}  // namespace tarnwick::wintest
