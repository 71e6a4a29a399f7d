// The settings files' code page under Wine, whose ANSI code page follows LC_ALL (cp1252 by
// default, cp1253 with el_GR): the store reading and writing through the real file system, and
// the real tarnwickd.exe taking a value on its command line and showing it again.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/utf8_path.h"
#include "platform/windows/handle.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_file_system.h"
#include "platform/windows/windows_service.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Line 5 of setting.ini (from 1) holds host_Name.
std::string HostLine(const std::string& fileBytes) {
  const std::vector<std::string> lines = SplitLines(fileBytes);
  return lines.size() > 4 ? lines[4] : std::string();
}

struct Case {
  UINT codePage;
  const char* what;
  std::string host;       // UTF-8
  std::string fileBytes;  // host_Name's line as stored
};

// "Straße" and "Tarnwück" fit cp1252, Greek fits cp1253; each is UTF-8 where it does not fit.
const Case kCases[] = {
    {1252, "fits cp1252", "Tarnwück Straße",
     "Tarnw\xFC"
     "ck Stra\xDF"
     "e"},
    {1252, "Greek under cp1252", "Αθήνα", "Αθήνα"},
    {1253, "fits cp1253", "Αθήνα", "\xC1\xE8\xDE\xED\xE1"},
    {1253, "ß under cp1253", "Straße", "Straße"},
};

// The rows of the code page this run has; a run with none fails rather than passing empty.
std::vector<Case> CasesOfThisCodePage() {
  std::vector<Case> cases;
  for (const Case& c : kCases) {
    if (c.codePage == GetACP()) cases.push_back(c);
  }
  return cases;
}

TEST(WindowsSettingsText, TheStoreWritesTheCodePageWhereItFitsAndReadsEitherFormBack) {
  const std::vector<Case> cases = CasesOfThisCodePage();
  ASSERT_FALSE(cases.empty()) << "code page " << GetACP();
  for (const Case& c : cases) {
    testing::TempDir dir;
    WindowsFileSystem files;
    testing::RecordingUi ui;
    SettingsStore store(files, Utf8FromPath(dir.path()), "\\");
    Settings saved;
    saved.host_Name = c.host;
    saved.smsPassword = c.host;
    ASSERT_TRUE(store.SaveSettings(saved, ui)) << c.what;
    EXPECT_TRUE(ui.messages.empty()) << c.what;
    EXPECT_EQ(HostLine(ReadBytes(store.SettingPath())), c.fileBytes) << c.what;
    Settings loaded;
    store.LoadSettings(loaded, "HOST", "C:\\");
    EXPECT_EQ(loaded.host_Name, c.host) << c.what;
    EXPECT_EQ(loaded.smsPassword, c.host) << c.what;

    // A file another program wrote in either form reads the same.
    for (const std::string& form : {c.fileBytes, c.host}) {
      WriteBytes(store.SettingPath(), "5\r\n75\r\n80\r\n60\r\n" + form + "\r\n");
      Settings other;
      store.LoadSettings(other, "HOST", "C:\\");
      EXPECT_EQ(other.host_Name, c.host) << c.what;
    }
  }
}

// Runs tarnwickd.exe with `arguments` and returns what it printed (stdout and stderr).
std::string RunTarnwickd(const std::vector<std::string>& arguments, DWORD& exitCode) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return {};
  win::Handle output(readEnd), childOutput(writeEnd);
  SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0);
  const std::wstring program = win::Wide(TARNWICKD_EXECUTABLE);
  std::wstring commandLine = L"\"" + program + L"\"";
  for (const std::string& a : arguments) commandLine += L" " + win::Wide(QuoteArgument(a));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = childOutput.get();
  startup.hStdError = childOutput.get();
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &created)) {
    return {};
  }
  win::Handle process(created.hProcess), thread(created.hThread);
  childOutput.Reset();
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(output.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  WaitForSingleObject(process.get(), 30000);
  GetExitCodeProcess(process.get(), &exitCode);
  return text;
}

TEST(WindowsSettingsText, TarnwickdStoresAndShowsAValueFromItsCommandLine) {
  const std::vector<Case> cases = CasesOfThisCodePage();
  ASSERT_FALSE(cases.empty()) << "code page " << GetACP();
  for (const Case& c : cases) {
    testing::TempDir dir;
    const std::string folder = Utf8FromPath(dir.path());
    DWORD exitCode = 1;
    const std::string setOutput =
        RunTarnwickd({"--settings-dir", folder, "--set", "host_Name=" + c.host}, exitCode);
    ASSERT_EQ(exitCode, 0u) << c.what << ": " << setOutput;
    EXPECT_EQ(HostLine(ReadBytes(dir / "setting.ini")), c.fileBytes) << c.what;
    const std::string shown = RunTarnwickd({"--settings-dir", folder, "--show-settings"}, exitCode);
    EXPECT_EQ(exitCode, 0u) << c.what;
    EXPECT_NE(shown.find(c.host), std::string::npos) << c.what << ": " << shown;
  }
}

}  // namespace
}  // namespace tarnwick
