#include "platform/windows/windows_mailer_launcher.h"

#include <windows.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

#include "platform/windows/handle.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

// An inheritable copy of one of this process's standard handles; empty when there is none.
win::Handle InheritableStd(DWORD which) {
  HANDLE source = GetStdHandle(which);
  if (source == nullptr || source == INVALID_HANDLE_VALUE) return {};
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return {};
  }
  return win::Handle(copy);
}

// Writes everything, then closes the pipe (the child sees end of file), waits for the child.
void Feed(HANDLE pipe, HANDLE process, std::string text) {
  win::Handle writeEnd(pipe);
  const win::Handle child(process);
  size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(writeEnd.get(), text.data() + done, chunk, &written, nullptr) || written == 0) {
      break;  // the child closed its input or ended
    }
    done += written;
  }
  writeEnd.Reset();
  WaitForSingleObject(child.get(), INFINITE);
}

}  // namespace

bool WindowsMailerLauncher::Start(const std::string& program, const std::string& standardInput) {
  const std::wstring application = win::Wide(program);
  if (application.empty()) return false;

  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) return false;
  win::Handle readEnd(readRaw), writeEnd(writeRaw);
  // Only the child's end is inherited; a child holding the write end would never see end of file.
  if (!SetHandleInformation(writeEnd.get(), HANDLE_FLAG_INHERIT, 0)) return false;

  const win::Handle out = InheritableStd(STD_OUTPUT_HANDLE);
  const win::Handle err = InheritableStd(STD_ERROR_HANDLE);
  std::vector<HANDLE> inherited{readEnd.get()};
  if (out) inherited.push_back(out.get());
  if (err) inherited.push_back(err.get());

  SIZE_T attributeBytes = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeBytes);
  std::vector<std::byte> attributeBuffer(attributeBytes);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributeBytes)) return false;
  const bool listed =
      UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                inherited.size() * sizeof(HANDLE), nullptr, nullptr) != FALSE;

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = readEnd.get();
  startup.StartupInfo.hStdOutput = out.get();
  startup.StartupInfo.hStdError = err.get();
  startup.lpAttributeList = listed ? attributes : nullptr;

  // The program named once more as the first word of the command line, quoted (a path holds no
  // quote character); it takes no arguments.
  std::wstring commandLine = L"\"" + application + L"\"";
  PROCESS_INFORMATION created{};
  const BOOL started = CreateProcessW(
      application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
      CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0),
      nullptr, nullptr, &startup.StartupInfo, &created);
  DeleteProcThreadAttributeList(attributes);
  if (!started) return false;
  CloseHandle(created.hThread);
  readEnd.Reset();  // the child has its copy

  std::thread(Feed, writeEnd.Release(), created.hProcess, standardInput).detach();
  return true;
}

}  // namespace tarnwick
