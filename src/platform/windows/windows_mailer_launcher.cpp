#include "platform/windows/windows_mailer_launcher.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/windows/handle.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kEndedWithStatus = "the mailer ended with status ";
constexpr std::string_view kTookTooLong = "the mailer gave no answer within ";
constexpr std::string_view kTookTooLongEnd = " s and was stopped";

// The exit code given to a mailer stopped at the time limit.
constexpr UINT kStoppedExitCode = 1;

bool IsProgramFile(const std::wstring& program) {
  const DWORD attributes = GetFileAttributesW(program.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

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

// An anonymous pipe whose end for the child is inheritable and whose end for this process is not
// (a child holding that one too would never see its end of file).
bool MakePipe(win::Handle& readEnd, win::Handle& writeEnd, bool childReads) {
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!CreatePipe(&readRaw, &writeRaw, &inheritable, 0)) return false;
  readEnd = win::Handle(readRaw);
  writeEnd = win::Handle(writeRaw);
  HANDLE ours = childReads ? writeEnd.get() : readEnd.get();
  return SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0) != FALSE;
}

// One mailer run, fed and watched by its own thread.
struct Run {
  win::Handle process;
  win::Handle input;   // write end of the child's standard input
  win::Handle errors;  // read end of the child's standard error
  std::string text;
  MailerFinished finished;
  PostToUiThread post;
  int timeLimitSeconds = kMailerTimeLimitSeconds;
};

// Writes everything, then closes the pipe: the child sees end of file. A child that ended or
// closed its input makes the write fail, which ends the feeding.
void Feed(win::Handle input, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(input.get(), text.data() + done, chunk, &written, nullptr) || written == 0) {
      break;
    }
    done += written;
  }
}

// Reads the standard error until the child's end closes it; the first line is all that is used,
// the rest is read only to keep the pipe flowing.
void Listen(win::Handle errors, std::string& errorText) {
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(errors.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) {
    if (errorText.size() < kMailerReasonLimit + 2) errorText.append(buffer, n);
  }
}

void Watch(Run run) {
  std::string errorText;
  std::thread feeder, listener;
  bool watched = true;
  try {
    feeder = std::thread(Feed, std::move(run.input), std::cref(run.text));
    listener = std::thread(Listen, std::move(run.errors), std::ref(errorText));
  } catch (const std::system_error&) {
    // Without them the child's input never comes: it is stopped and reported with its status.
    watched = false;
    TerminateProcess(run.process.get(), kStoppedExitCode);
  }

  const DWORD limitMs = static_cast<DWORD>(run.timeLimitSeconds) * 1000u;
  const bool inTime = !watched || WaitForSingleObject(run.process.get(), limitMs) == WAIT_OBJECT_0;
  if (!inTime) TerminateProcess(run.process.get(), kStoppedExitCode);
  WaitForSingleObject(run.process.get(), INFINITE);
  // The child's ends closed with it, so both pipes now fail or end and the helpers return.
  if (feeder.joinable()) feeder.join();
  if (listener.joinable()) listener.join();
  DWORD exitCode = 0;
  GetExitCodeProcess(run.process.get(), &exitCode);

  MailerExit outcome;
  if (!inTime) {
    outcome.reason = std::string(kTookTooLong) + std::to_string(run.timeLimitSeconds) +
                     std::string(kTookTooLongEnd);
  } else if (exitCode == 0) {
    outcome.sent = true;
  } else {
    outcome.reason = MailerReasonLine(errorText);
    if (outcome.reason.empty())
      outcome.reason = std::string(kEndedWithStatus) + std::to_string(exitCode);
  }
  if (run.post && run.finished) {
    run.post(
        [finished = std::move(run.finished), outcome = std::move(outcome)] { finished(outcome); });
  }
}

}  // namespace

WindowsMailerLauncher::WindowsMailerLauncher(PostToUiThread post, int timeLimitSeconds)
    : post_(std::move(post)), timeLimitSeconds_(timeLimitSeconds) {}

bool WindowsMailerLauncher::Start(const std::string& program, const std::string& standardInput,
                                  MailerFinished finished) {
  const std::wstring application = win::Wide(program);
  if (application.empty() || !IsProgramFile(application)) return false;

  win::Handle childInput, input, errors, childErrors;
  if (!MakePipe(childInput, input, true)) return false;
  if (!MakePipe(errors, childErrors, false)) return false;

  const win::Handle out = InheritableStd(STD_OUTPUT_HANDLE);
  std::vector<HANDLE> inherited{childInput.get(), childErrors.get()};
  if (out) inherited.push_back(out.get());

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
  startup.StartupInfo.hStdInput = childInput.get();
  startup.StartupInfo.hStdOutput = out.get();
  startup.StartupInfo.hStdError = childErrors.get();
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
  // The child has its copies; with ours closed, its end closes the pipes.
  childInput.Reset();
  childErrors.Reset();

  auto run = std::make_shared<Run>();
  run->process = win::Handle(created.hProcess);
  run->input = std::move(input);
  run->errors = std::move(errors);
  run->text = standardInput;
  run->finished = std::move(finished);
  run->post = post_;
  run->timeLimitSeconds = timeLimitSeconds_;
  try {
    std::thread([run] { Watch(std::move(*run)); }).detach();
  } catch (const std::system_error&) {
    // No thread to watch it: stop the child, whose input would never come.
    TerminateProcess(run->process.get(), kStoppedExitCode);
    return false;
  }
  return true;
}

}  // namespace tarnwick
