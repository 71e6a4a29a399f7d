// What the service, its folders, the Event Log's source and the start with the session write
// into Windows, checked against Windows itself (under Wine in CI): the service's command line as
// the system splits it, the Run entry in the registry, the source's registration. Wine keeps no
// security descriptor with a file, so the folders' DACL is checked as built, entry by entry.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/windows/service_folder.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_autostart.h"
#include "platform/windows/windows_event_log.h"
#include "platform/windows/windows_service.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

// The arguments as Windows splits a command line, program first.
std::vector<std::string> Split(const std::string& commandLine) {
  int count = 0;
  wchar_t** parts = CommandLineToArgvW(win::Wide(commandLine).c_str(), &count);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(win::Utf8(parts[i]));
  LocalFree(parts);
  return args;
}

std::wstring RegistryText(HKEY root, const std::string& key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD bytes = sizeof data;
  if (RegGetValueW(root, win::Wide(key).c_str(), name,
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, data,
                   &bytes) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return data;
}

TEST(WindowsService, CommandLineComesBackArgumentByArgument) {
  const std::vector<std::string> arguments[] = {
      {"--service"},
      {"--settings-dir", "C:\\ProgramData\\Tarnwick", "--log-dir", "D:\\Tarnwick logs\\"},
      {"a \"quoted\" word", "back\\\\slashes\\", "", "tab\there", "\\\\server\\share\\"},
  };
  for (const std::vector<std::string>& args : arguments) {
    ServiceSetup setup;
    setup.program = "C:\\Program Files\\Tarnwick\\tarnwickd.exe";
    setup.arguments = args;
    const std::string line = ServiceCommandLine(setup);
    EXPECT_EQ(line.rfind("\"C:\\Program Files\\Tarnwick\\tarnwickd.exe\" ", 0), 0u) << line;
    std::vector<std::string> expected{setup.program};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(Split(line), expected) << line;
  }
  EXPECT_EQ(QuoteArgument("--service"), "--service") << "a plain word needs no quotes";
}

TEST(WindowsAutostart, TheRunEntryStartsThisProgramAndNoOtherCopy) {
  const std::string program = "C:\\Program Files\\Tarnwick\\tarnwick.exe";
  const std::string key = std::string(WindowsAutostart::kRunKey);
  WindowsAutostart autostart(program, "TarnwickTest");
  WindowsAutostart otherCopy("D:\\Portable\\Tarnwick\\tarnwick.exe", "TarnwickTest");
  ASSERT_TRUE(autostart.SetEnabled(false).ok);
  EXPECT_FALSE(autostart.IsEnabled());

  ASSERT_TRUE(autostart.SetEnabled(true).ok);
  EXPECT_TRUE(autostart.IsEnabled());
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, key, L"TarnwickTest"),
            L"\"C:\\Program Files\\Tarnwick\\tarnwick.exe\"");
  EXPECT_TRUE(
      WindowsAutostart("c:\\program files\\tarnwick\\TARNWICK.EXE", "TarnwickTest").IsEnabled())
      << "Windows compares names without letter case";
  EXPECT_FALSE(otherCopy.IsEnabled()) << "the entry starts another copy";

  // The other copy's item takes the entry over; this one's then shows unticked.
  ASSERT_TRUE(otherCopy.SetEnabled(true).ok);
  EXPECT_TRUE(otherCopy.IsEnabled());
  EXPECT_FALSE(autostart.IsEnabled());

  ASSERT_TRUE(otherCopy.SetEnabled(false).ok);
  EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, key, L"TarnwickTest"), L"<none>");
  EXPECT_TRUE(otherCopy.SetEnabled(false).ok) << "removing an absent entry is no failure";
}

TEST(WindowsEventLog, TheSourceNamesItsMessageFileAndGoesAgain) {
  const std::string file = "C:\\Program Files\\Tarnwick\\tarnwickd.exe";
  const std::string key = std::string(kEventSourceKey);
  ASSERT_TRUE(RegisterEventLogSource(file).ok);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, key, L"EventMessageFile"), win::Wide(file));
  DWORD types = 0;
  DWORD bytes = sizeof types;
  ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, win::Wide(key).c_str(), L"TypesSupported",
                         RRF_RT_REG_DWORD, nullptr, &types, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(types, static_cast<DWORD>(EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE));
  // Reporting needs nothing back; Wine cannot show the entry.
  WindowsEventLog().Report(EventLogKind::Alert, "2026-12-04 10:15:17 - a line");
  ASSERT_TRUE(UnregisterEventLogSource().ok);
  EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, key, L"EventMessageFile"), L"<none>");
  EXPECT_TRUE(UnregisterEventLogSource().ok) << "an absent source is no failure";
}

// The accounts the folders' DACL grants, in order, each with full access, inherited by files and
// folders inside.
std::vector<WELL_KNOWN_SID_TYPE> Granted(ServiceAccount account) {
  std::vector<std::byte> bytes = ServiceFolderAcl(account);
  std::vector<WELL_KNOWN_SID_TYPE> granted;
  if (bytes.empty()) return granted;
  auto* acl = reinterpret_cast<PACL>(bytes.data());
  const WELL_KNOWN_SID_TYPE known[] = {WinLocalSystemSid,  WinBuiltinAdministratorsSid,
                                       WinLocalServiceSid, WinWorldSid,
                                       WinBuiltinUsersSid, WinAuthenticatedUserSid};
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(acl, i, &entry)) return {};
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask, static_cast<ACCESS_MASK>(GENERIC_ALL));
    for (WELL_KNOWN_SID_TYPE type : known) {
      if (IsWellKnownSid(&ace->SidStart, type)) granted.push_back(type);
    }
  }
  return granted;
}

TEST(ServiceFolder, OnlySystemTheAdministratorsAndTheServicesAccountMayOpenIt) {
  EXPECT_EQ(Granted(ServiceAccount::LocalService),
            (std::vector<WELL_KNOWN_SID_TYPE>{WinLocalSystemSid, WinBuiltinAdministratorsSid,
                                              WinLocalServiceSid}));
  EXPECT_EQ(Granted(ServiceAccount::LocalSystem),
            (std::vector<WELL_KNOWN_SID_TYPE>{WinLocalSystemSid, WinBuiltinAdministratorsSid}));
}

TEST(ServiceFolder, MadeWithItsParentsOrTakenOverButNeverAFileInItsPlace) {
  testing::TempDir dir;
  const std::string base = win::Utf8(dir.path().wstring());
  const std::string folder = base +
                             "\\Tarnw\xc3\xbc"
                             "ck\\logs";
  EXPECT_TRUE(PrepareServiceFolder(folder, ServiceAccount::LocalService).ok);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / L"Tarnw\u00fcck" / L"logs"));
  // What another account made inside is handed to the folder's access.
  testing::WriteFile(folder + "\\Tarnwick_log_1204.txt", "a line\r\n");
  std::filesystem::create_directories(dir.path() / L"Tarnw\u00fcck" / L"logs" / L"old");
  EXPECT_TRUE(PrepareServiceFolder(folder + "\\", ServiceAccount::LocalSystem).ok)
      << "an existing folder gets the DACL of the other account";
  testing::WriteFile((dir.path() / "file").string(), "not a folder");
  const FileResult onFile = PrepareServiceFolder(base + "\\file", ServiceAccount::LocalService);
  EXPECT_FALSE(onFile.ok);
  EXPECT_FALSE(onFile.reason.empty());
  EXPECT_FALSE(ServiceSettingsFolder().empty());
  EXPECT_EQ(ServiceLogFolder(), ServiceSettingsFolder() + "\\logs");
}

}  // namespace
}  // namespace tarnwick
