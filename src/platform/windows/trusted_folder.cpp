#include "platform/windows/trusted_folder.h"

#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <string_view>
#include <vector>

#include "platform/windows/error_text.h"

namespace tarnwick::win {
namespace {

constexpr std::string_view kIsALink = " is a link";
constexpr std::string_view kBelongsToAnotherUser = " belongs to another user (";
constexpr std::string_view kWritableByOthers = " may be written by other users (";

// What lets a holder put a file in a folder or change who may: any of these.
constexpr ACCESS_MASK kWriting = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_DATA |
                                 FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER |
                                 GENERIC_WRITE | GENERIC_ALL;

// The SID as text ("S-1-5-21-..."), for the reason.
std::string SidText(PSID sid) {
  LPSTR text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  std::string shown(text);
  LocalFree(text);
  return shown;
}

bool IsKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  return IsWellKnownSid(sid, type) != FALSE;
}

bool IsCurrentUser(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD bytes = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &bytes);
  std::vector<BYTE> buffer(bytes);
  const bool read =
      bytes != 0 && GetTokenInformation(token, TokenUser, buffer.data(), bytes, &bytes) != FALSE;
  CloseHandle(token);
  return read && EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, sid) != FALSE;
}

// TrustedInstaller: NT SERVICE\TrustedInstaller, S-1-5-80-956008885-3418522649-1831038044-
// 1853292631-2271478464.
bool IsTrustedInstaller(PSID sid) {
  return SidText(sid) == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
}

}  // namespace

std::string UntrustedFolderReason(const std::wstring& folder, const std::string& shown) {
  const std::string what = "the folder " + shown;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return ErrorText(error);
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return what + std::string(kIsALink);

  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                            &owner, nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return ErrorText(error);
  std::string reason;
  if (owner == nullptr ||
      !(IsCurrentUser(owner) || IsKnown(owner, WinLocalSystemSid) ||
        IsKnown(owner, WinBuiltinAdministratorsSid) || IsTrustedInstaller(owner))) {
    reason = what + std::string(kBelongsToAnotherUser) +
             (owner == nullptr ? std::string("nobody") : SidText(owner)) + ")";
  } else if (dacl == nullptr) {
    // No DACL at all lets everyone do everything.
    reason = what + std::string(kWritableByOthers) + "Everyone)";
  } else {
    for (DWORD i = 0; i < dacl->AceCount && reason.empty(); ++i) {
      void* raw = nullptr;
      if (!GetAce(dacl, i, &raw)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(raw);
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
      const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
      // An entry that only passes on to what is created inside says nothing of the folder itself.
      if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || (ace->Mask & kWriting) == 0) continue;
      auto* sid = const_cast<PSID>(static_cast<const void*>(&ace->SidStart));
      const char* who = IsKnown(sid, WinWorldSid)               ? "Everyone"
                        : IsKnown(sid, WinBuiltinUsersSid)      ? "Users"
                        : IsKnown(sid, WinAuthenticatedUserSid) ? "Authenticated Users"
                                                                : nullptr;
      if (who != nullptr) reason = what + std::string(kWritableByOthers) + who + ")";
    }
  }
  LocalFree(descriptor);
  return reason;
}

std::string LinkOrFolderReason(HANDLE file, const std::string& shown) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) {
    return "the file " + shown + ": " + ErrorText(GetLastError());
  }
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return "the file " + shown + " is a link or a folder";
  }
  return {};
}

}  // namespace tarnwick::win
