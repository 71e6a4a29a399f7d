// tarnwick.exe's own wiring (the Windows services, libcurl on its worker thread, the mailer
// launcher, SQLite, the Win32 views) end to end under Wine, against the web service's stand-in
// and an SMTP server on the Linux loopback. The Linux test tarnwick_exe_test prepares the program
// folder (this executable, the settings, a copy of win_hog.exe as tarnhog.exe), starts the
// servers and runs these cases on a display of their own; they are skipped anywhere else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "control_ids.h"
#include "forms/main_window_model.h"
#include "history/history_window_model.h"
#include "history_window.h"
#include "main_window.h"
#include "platform/windows/handle.h"
#include "processes_window.h"
#include "program.h"
#include "widgets.h"

namespace tarnwick::testing {
namespace {

namespace id = win32::id;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// A process that keeps one processor busy, under the name tarnhog.exe; it ends with this test
// (its standard input is a pipe whose end this test holds).
class Hog {
 public:
  Hog() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
    input_ = win::Handle(write);
    std::wstring command = L"\"" + OwnFolder() + L"\\tarnhog.exe\" burn";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                              nullptr, nullptr, &startup, &info) != 0;
    CloseHandle(read);
    if (started_) {
      process_ = win::Handle(info.hProcess);
      CloseHandle(info.hThread);
    }
  }
  ~Hog() {
    input_.Reset();
    if (process_) TerminateProcess(process_.get(), 0);
  }
  bool started() const { return started_; }

 private:
  win::Handle input_;
  win::Handle process_;
  bool started_ = false;
};

class Win32EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Environment("TARNWICK_E2E").empty()) {
      GTEST_SKIP() << "run by tarnwick_exe_test, which starts the servers";
    }
  }

  // Runs the program's messages until `done` or the limit.
  static bool PumpUntil(win32::Program& program, const std::function<bool()>& done, DWORD limit) {
    const ULONGLONG end = GetTickCount64() + limit;
    while (!done()) {
      if (GetTickCount64() > end) return false;
      program.PumpMessages();
      Sleep(20);
    }
    return true;
  }
  static std::string Text(HWND parent, int control) {
    return win32::WindowTextUtf8(GetDlgItem(parent, control));
  }
  static std::string Cell(HWND list, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    return win32::U8(text);
  }
  // Whether a row of the list holds each of the (column, text) cells.
  static bool HasRow(HWND list, std::initializer_list<std::pair<int, const char*>> cells) {
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
      bool all = true;
      for (const auto& [column, text] : cells) all = all && Cell(list, row, column) == text;
      if (all) return true;
    }
    return false;
  }
  static bool HasLine(MainWindowModel& model, const std::string& part) {
    for (const std::string& line : model.log().PaneLines()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
};

TEST_F(Win32EndToEnd, AHogRaisesTheAlertThroughTheServiceAndTheHistoryShowsIt) {
  Hog hog;
  ASSERT_TRUE(hog.started());
  win32::Program program;
  program.Start();
  MainWindowModel& model = program.model();
  HWND main = program.window().hwnd();
  // Logged in, the alert sent and the credits that its reply brought.
  const bool alerted = PumpUntil(
      program,
      [&] { return HasLine(model, " E2EHOST Διακ CPU ") && Text(main, id::Label7) == "49"; },
      90000);
  std::string log;
  for (const std::string& line : model.log().PaneLines()) log += line + "\n";
  ASSERT_TRUE(alerted) << log;
  EXPECT_TRUE(HasLine(model, "exceed 0% for 2 times. TOP 1 : tarnhog.exe")) << log;
  EXPECT_EQ(Text(main, id::Command1), "Stop");
  EXPECT_EQ(Text(main, id::lblNum_count_0), "/2");
  EXPECT_EQ(Text(main, id::lbl_Threshold_0), "0%");
  EXPECT_NE(Text(main, id::lblCPUValue_0).find(" %"), std::string::npos);
  // The pane's first row is the log's newest line.
  program.window().Render();
  wchar_t first[1024] = {};
  LVITEMW item{};
  item.pszText = first;
  item.cchTextMax = 1024;
  SendMessageW(GetDlgItem(main, id::txtLog), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(win32::U8(first), model.log().PaneLines().front());

  // Log > History: the alert among the span's events and the hog among its top processes.
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(id::mHistory, 0), 0);
  program.PumpMessages();
  HWND history = program.historyWindow().hwnd();
  EXPECT_TRUE(IsWindowVisible(history));
  EXPECT_TRUE(HasRow(GetDlgItem(history, id::grdEvents), {{1, "alert"}, {4, "tarnhog.exe"}}));
  HWND top = GetDlgItem(history, id::grdTop);
  EXPECT_TRUE(HasRow(top, {{0, "tarnhog.exe"}}))
      << SendMessageW(top, LVM_GETITEMCOUNT, 0, 0) << " rows";
  EXPECT_FALSE(program.historyModel().points.empty());

  // Log > Processes: the hog on top of the CPU list from the next cycle on.
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(id::mProcesses, 0), 0);
  program.PumpMessages();
  HWND processes = program.processesWindow().hwnd();
  EXPECT_TRUE(IsWindowVisible(processes));
  HWND cpu = GetDlgItem(processes, id::grdCpu);
  EXPECT_TRUE(PumpUntil(
      program, [&] { return Cell(cpu, 0, 2) == "tarnhog.exe"; }, 30000))
      << Cell(cpu, 0, 2);
}

// What the user answers in the input box and reads in the message box, from a timer that runs
// inside their modal loops.
struct Answers {
  std::wstring inputTitle;
  std::wstring recipients;
  bool answeredInput = false;
  std::string message;
};
Answers* gAnswers = nullptr;

void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) {
  if (gAnswers == nullptr) return;
  if (!gAnswers->answeredInput) {
    if (HWND box = FindWindowW(L"#32770", gAnswers->inputTitle.c_str())) {
      SetWindowTextW(GetDlgItem(box, id::InputText), gAnswers->recipients.c_str());
      gAnswers->answeredInput = true;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  if (HWND box = FindWindowW(L"#32770", L"Tarnwick")) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    gAnswers->message = win32::U8(text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

TEST_F(Win32EndToEnd, TheTestMailGoesOutFromTheSmtpDialog) {
  const std::string port = Environment("TARNWICK_E2E_SMTP_PORT");
  ASSERT_FALSE(port.empty());
  win32::Program program;
  program.Start();
  HWND main = program.window().hwnd();
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(id::SMTPsetup, 0), 0);
  program.PumpMessages();
  HWND dialog = program.window().smtpServerDialog();
  ASSERT_NE(dialog, nullptr);
  auto type = [&](int control, const std::string& text) {
    SendMessageW(GetDlgItem(dialog, control), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(win32::W(text).c_str()));
  };
  if (SendMessageW(GetDlgItem(dialog, id::Check1), BM_GETCHECK, 0, 0) != BST_CHECKED) {
    SendMessageW(GetDlgItem(dialog, id::Check1), BM_CLICK, 0, 0);
  }
  // Schannel matches the certificate's names only: the server is "localhost".
  type(id::mailSvr, "localhost");
  type(id::SMTPport, port);
  type(id::MailUser, Environment("TARNWICK_E2E_SMTP_USER"));
  type(id::MailPass, Environment("TARNWICK_E2E_SMTP_PASSWORD"));

  Answers answers;
  answers.inputTitle = L"Send Test Email via localhost";
  answers.recipients = L"ops@example.org";
  gAnswers = &answers;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, &AnswerBoxes);
  SendMessageW(GetDlgItem(dialog, id::Command2), BM_CLICK, 0, 0);
  EXPECT_TRUE(answers.answeredInput);
  EXPECT_EQ(Text(dialog, id::Command2), "Testing .....");
  const bool told = PumpUntil(
      program, [&] { return !answers.message.empty(); }, 60000);
  KillTimer(nullptr, timer);
  gAnswers = nullptr;
  ASSERT_TRUE(told);
  EXPECT_EQ(answers.message, "Mail sent OK");
  EXPECT_EQ(Text(dialog, id::Command2), "Send Test Mail");
}

}  // namespace
}  // namespace tarnwick::testing
