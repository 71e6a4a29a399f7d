// The Windows file service against real files under Wine: UTF-8 paths reach the wide API (a "ü"
// folder), every created file and folder carries the protected three-entry DACL, the atomic replace
// works while another process-like handle holds the file open with delete sharing, and keeps the
// old file whole, with no temporary left, when the replace fails; an export's file is made anew,
// owner-only, over an existing one.
#include "platform/windows/windows_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
// windows.h names ReplaceFileW "ReplaceFile", which is also the service's method.
#undef ReplaceFile

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/windows/handle.h"
#include "platform/owner_only_file.h"
#include "platform/windows/wide_text.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// The folder "Tarnwück" inside a fresh temporary folder, as UTF-8 text and as a wide path.
class WindowsFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(folder_); }

  std::string Path(const std::string& name) const {
    return win::Utf8(folder_.wstring()) + "\\" + name;
  }
  fs::path Wide(const std::string& name) const { return folder_ / win::Wide(name); }
  std::string Read(const std::string& name) const {
    return files_.ReadFile(Path(name), 1 << 20).content;
  }
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().wstring());
    }
    return names;
  }

  testing::TempDir dir_;
  const fs::path folder_ = dir_.path() / L"Tarnw\u00fcck";
  mutable WindowsFileSystem files_;
};

// The SIDs of the current user, SYSTEM and Administrators, the user first.
std::vector<std::vector<std::byte>> ExpectedSids() {
  std::vector<std::vector<std::byte>> sids;
  HANDLE raw = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
  const win::Handle token(raw);
  std::byte buffer[256];
  DWORD bytes = 0;
  GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &bytes);
  PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
  const auto* userBytes = static_cast<const std::byte*>(user);
  sids.emplace_back(userBytes, userBytes + GetLengthSid(user));
  for (WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid}) {
    std::vector<std::byte> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    CreateWellKnownSid(type, nullptr, sid.data(), &size);
    sid.resize(size);
    sids.push_back(sid);
  }
  return sids;
}

// Whether the DACL grants access to the current user and to no one but the user, SYSTEM and
// Administrators. Wine keeps no security descriptor with a file: it maps the DACL to the Unix mode
// and reads one back from it, so only the accounts can be checked here, not the protection flag
// or the exact entries (a file made with fopen comes back with a read entry for Everyone).
void ExpectOwnerOnly(const fs::path& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor),
            ERROR_SUCCESS)
      << path;
  ASSERT_NE(dacl, nullptr) << path;
  const std::vector<std::vector<std::byte>> allowed = ExpectedSids();
  bool userGranted = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    ASSERT_EQ(static_cast<ACE_HEADER*>(ace)->AceType, ACCESS_ALLOWED_ACE_TYPE);
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    const auto* bytes = static_cast<const std::byte*>(sid);
    const std::vector<std::byte> granted(bytes, bytes + GetLengthSid(sid));
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), granted), allowed.end())
        << path << " grants entry " << i;
    if (granted == allowed[0]) userGranted = true;
  }
  EXPECT_TRUE(userGranted) << path;
  LocalFree(descriptor);
}

TEST_F(WindowsFileSystemTest, Utf8PathsReachTheRightFilesAndFolders) {
  const std::string logFolder = Path("monitor_l\xc3\xb6g\\2026");
  ASSERT_TRUE(files_.MakeFolder(logFolder).ok);
  EXPECT_TRUE(fs::is_directory(folder_ / L"monitor_l\u00f6g" / L"2026"));
  ASSERT_TRUE(files_.AppendFile(logFolder + "\\Tarnwick_log_1210.txt", "one\r\n").ok);
  ASSERT_TRUE(files_.AppendFile(logFolder + "\\Tarnwick_log_1210.txt", "two\r\n").ok);
  EXPECT_EQ(files_.ReadFile(logFolder + "\\Tarnwick_log_1210.txt", 100).content, "one\r\ntwo\r\n");
  ASSERT_TRUE(files_.ReplaceFile(Path("setting.ini"), "new\r\n").ok);
  EXPECT_TRUE(fs::exists(Wide("setting.ini")));
  EXPECT_TRUE(files_.Exists(Path("setting.ini")));
  EXPECT_FALSE(files_.Exists(Path("smtpsvr.ini")));
}

TEST_F(WindowsFileSystemTest, EverythingCreatedCarriesTheOwnerOnlyDacl) {
  ASSERT_TRUE(files_.MakeFolder(Path("a\\b")).ok);
  ASSERT_TRUE(files_.AppendFile(Path("a\\b\\log.txt"), "line\r\n").ok);
  ASSERT_TRUE(files_.ReplaceFile(Path("setting.ini"), "first").ok);
  ASSERT_TRUE(files_.ReplaceFile(Path("setting.ini"), "second").ok);
  for (const fs::path& created :
       {Wide("a"), Wide("a\\b"), Wide("a\\b\\log.txt"), Wide("setting.ini")}) {
    ExpectOwnerOnly(created);
  }
}

TEST_F(WindowsFileSystemTest, AnExportIsMadeAnewOwnerOnlyOverAnExistingFile) {
  // A file anybody may read, as another program would leave it.
  if (FILE* other = _wfopen(Wide("export.csv").c_str(), L"wb")) {
    std::fputs("old rows\n", other);
    std::fclose(other);
  }
  {
    const std::unique_ptr<std::ostream> out = CreateOwnerOnlyFile(Path("export.csv"));
    ASSERT_NE(out, nullptr);
    *out << "new";
    out->flush();
    EXPECT_TRUE(*out);
  }
  EXPECT_EQ(Read("export.csv"), "new");
  ExpectOwnerOnly(Wide("export.csv"));

  // One that cannot be deleted (held open without delete sharing) is not written at all.
  const win::Handle holder(CreateFileW(Wide("export.csv").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_EQ(CreateOwnerOnlyFile(Path("export.csv")), nullptr);
  EXPECT_EQ(CreateOwnerOnlyFile(Path("missing\\export.csv")), nullptr);
}

TEST_F(WindowsFileSystemTest, ReplaceWorksWhileAReaderHoldsTheFileWithDeleteSharing) {
  ASSERT_TRUE(files_.ReplaceFile(Path("setting.ini"), "old").ok);
  win::Handle reader(CreateFileW(Wide("setting.ini").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  const FileResult result = files_.ReplaceFile(Path("setting.ini"), "new content");
  EXPECT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(Read("setting.ini"), "new content");
  // The reader still sees the old file whole; its name goes with the reader's handle (a file
  // deleted while open lives on until its last handle closes).
  char old[16] = {};
  DWORD read = 0;
  EXPECT_TRUE(::ReadFile(reader.get(), old, sizeof old, &read, nullptr));
  EXPECT_EQ(std::string(old, read), "old");
  reader.Reset();
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"setting.ini"});
}

TEST_F(WindowsFileSystemTest, FailedReplaceKeepsTheOldFileWholeAndLeavesNoTemporary) {
  ASSERT_TRUE(files_.ReplaceFile(Path("setting.ini"), "old content").ok);
  // A handle without delete sharing: the file can be neither renamed nor replaced.
  const win::Handle holder(CreateFileW(Wide("setting.ini").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  const FileResult result = files_.ReplaceFile(Path("setting.ini"), "new content");
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.reason.empty());
  EXPECT_EQ(Read("setting.ini"), "old content");
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"setting.ini"});
}

TEST_F(WindowsFileSystemTest, ReplaceIntoAMissingFolderFailsWithTheSystemsReason) {
  const FileResult result = files_.ReplaceFile(Path("missing\\setting.ini"), "x");
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.reason.empty());
  EXPECT_TRUE(Entries().empty());
}

TEST_F(WindowsFileSystemTest, ReadsAreBoundedAndTellMissingFromUnreadable) {
  ASSERT_TRUE(files_
                  .ReplaceFile(Path("data"), std::string("a\r\n\x00\x1a"
                                                         "b",
                                                         6))
                  .ok);
  const FileReadResult whole = files_.ReadFile(Path("data"), 6);
  EXPECT_EQ(whole.status, FileReadStatus::Ok);
  EXPECT_EQ(whole.content, std::string("a\r\n\x00\x1a"
                                       "b",
                                       6));
  EXPECT_FALSE(whole.truncated);
  const FileReadResult cut = files_.ReadFile(Path("data"), 4);
  EXPECT_EQ(cut.content, std::string("a\r\n\x00", 4));
  EXPECT_TRUE(cut.truncated);
  EXPECT_EQ(files_.ReadFile(Path("nothing"), 10).status, FileReadStatus::Missing);
  EXPECT_EQ(files_.ReadFile(Path("no\\nothing"), 10).status, FileReadStatus::Missing);
  ASSERT_TRUE(files_.MakeFolder(Path("folder")).ok);
  const FileReadResult folder = files_.ReadFile(Path("folder"), 10);
  EXPECT_EQ(folder.status, FileReadStatus::Unreadable);
  EXPECT_FALSE(folder.reason.empty());
}

TEST_F(WindowsFileSystemTest, MakeFolderOverAFileFails) {
  ASSERT_TRUE(files_.ReplaceFile(Path("plain"), "x").ok);
  EXPECT_FALSE(files_.MakeFolder(Path("plain")).ok);
  EXPECT_FALSE(files_.MakeFolder("").ok);
  EXPECT_TRUE(files_.MakeFolder(Path("trailing\\")).ok);
}

TEST_F(WindowsFileSystemTest, StaleTemporariesAreRemovedAndNothingElse) {
  for (const char* name : {"setting.ini", "setting.ini.tmp123", "setting.ini.tmp9",
                           "setting.ini.tmpx", "smtpsvr.ini.tmp5", "setting.ini.tmp"}) {
    testing::WriteFile(win::Utf8(Wide(name).wstring()), "x");
  }
  EXPECT_EQ(files_.RemoveStaleTemporaries(Path("setting.ini")), 2);
  std::vector<std::wstring> left = Entries();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::wstring>{L"setting.ini", L"setting.ini.tmp",
                                             L"setting.ini.tmpx", L"smtpsvr.ini.tmp5"}));
}

// Gives the folder a DACL with full access for the current user and write access for `other`.
DWORD LetWrite(const fs::path& folder, WELL_KNOWN_SID_TYPE other) {
  std::vector<std::vector<std::byte>> sids = ExpectedSids();
  std::vector<std::byte> otherSid(SECURITY_MAX_SID_SIZE);
  DWORD size = SECURITY_MAX_SID_SIZE;
  if (!CreateWellKnownSid(other, nullptr, otherSid.data(), &size)) return GetLastError();
  EXPLICIT_ACCESSW entries[2] = {};
  for (int i = 0; i < 2; ++i) {
    entries[i].grfAccessMode = SET_ACCESS;
    entries[i].grfInheritance = NO_INHERITANCE;
    entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[i].Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  }
  entries[0].grfAccessPermissions = GENERIC_ALL;
  entries[0].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids[0].data());
  entries[1].grfAccessPermissions = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE;
  entries[1].Trustee.ptstrName = reinterpret_cast<LPWSTR>(otherSid.data());
  PACL acl = nullptr;
  DWORD error = SetEntriesInAclW(2, entries, nullptr, &acl);
  if (error != ERROR_SUCCESS) return error;
  std::wstring path = folder.wstring();
  error = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, acl, nullptr);
  LocalFree(acl);
  return error;
}

// The settings files hold kill rules and passwords: they are read and replaced only in a folder
// that no other user may write into, with one reason that says why otherwise.
TEST_F(WindowsFileSystemTest, SettingsStayOutOfAFolderOthersMayWrite) {
  ASSERT_TRUE(files_.ReplaceFile(Path("setting.ini"), "mine").ok);
  EXPECT_EQ(Read("setting.ini"), "mine") << "a folder of the user's own";
  // Wine keeps a folder's access as its Unix mode, where only Everyone (the mode's "others")
  // outlives the round trip; Users and Authenticated Users take the same path on Windows.
  ASSERT_EQ(LetWrite(folder_, WinWorldSid), static_cast<DWORD>(ERROR_SUCCESS));
  const std::string why =
      "the folder " + win::Utf8(folder_.wstring()) + " may be written by other users (Everyone)";
  const FileReadResult read = files_.ReadFile(Path("setting.ini"), 100);
  EXPECT_EQ(read.status, FileReadStatus::Unreadable);
  EXPECT_EQ(read.reason, why);
  EXPECT_EQ(read.content, "");
  const FileResult replaced = files_.ReplaceFile(Path("setting.ini"), "theirs");
  EXPECT_FALSE(replaced.ok);
  EXPECT_EQ(replaced.reason, why);
}

}  // namespace
}  // namespace tarnwick
