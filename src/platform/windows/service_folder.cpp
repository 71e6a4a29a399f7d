#include "platform/windows/service_folder.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <filesystem>
#include <system_error>

#include "platform/windows/error_text.h"
#include "platform/windows/wide_text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kFolderName = "Tarnwick";
constexpr std::string_view kLogsName = "logs";

// Every file and folder below `folder` takes its access from the folder alone: each was created
// with a protected DACL naming the account that made it, which an account the service no longer
// runs as would keep. Links are left alone, as is what lies behind them. The first failure's
// code, or ERROR_SUCCESS.
DWORD InheritEverythingBelow(const std::wstring& folder) {
  ACL empty{};
  if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return GetLastError();
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
  DWORD status = ERROR_SUCCESS;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      continue;
    }
    std::wstring path = folder + L"\\" + name;
    DWORD result =
        SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &empty, nullptr);
    if (result == ERROR_SUCCESS && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      result = InheritEverythingBelow(path);
    }
    if (status == ERROR_SUCCESS) status = result;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return status;
}

bool Known(WELL_KNOWN_SID_TYPE type, std::vector<std::byte>& sid) {
  DWORD bytes = SECURITY_MAX_SID_SIZE;
  sid.resize(bytes);
  return CreateWellKnownSid(type, nullptr, sid.data(), &bytes) != FALSE;
}

}  // namespace

std::string ServiceSettingsFolder() {
  wchar_t* path = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path)) && path != nullptr &&
      *path != L'\0') {
    folder = win::Utf8(path) + "\\" + std::string(kFolderName);
  }
  CoTaskMemFree(path);
  return folder;
}

std::string ServiceLogFolder() {
  const std::string settings = ServiceSettingsFolder();
  return settings.empty() ? settings : settings + "\\" + std::string(kLogsName);
}

std::vector<std::byte> ServiceFolderAcl(ServiceAccount account) {
  std::vector<WELL_KNOWN_SID_TYPE> types{WinLocalSystemSid, WinBuiltinAdministratorsSid};
  if (account == ServiceAccount::LocalService) types.push_back(WinLocalServiceSid);
  std::vector<std::vector<std::byte>> sids(types.size());
  DWORD aclBytes = sizeof(ACL);
  for (size_t i = 0; i < types.size(); ++i) {
    if (!Known(types[i], sids[i])) return {};
    aclBytes += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE)) + GetLengthSid(sids[i].data());
  }
  std::vector<std::byte> bytes(aclBytes);
  auto* acl = reinterpret_cast<PACL>(bytes.data());
  if (!InitializeAcl(acl, aclBytes, ACL_REVISION)) return {};
  for (std::vector<std::byte>& sid : sids) {
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                               GENERIC_ALL, sid.data())) {
      return {};
    }
  }
  return bytes;
}

FileResult PrepareServiceFolder(const std::string& folder, ServiceAccount account) {
  std::wstring path = win::Wide(folder);
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (path.empty()) return FileResult::Failure(win::ErrorText(ERROR_PATH_NOT_FOUND));
  std::vector<std::byte> aclBytes = ServiceFolderAcl(account);
  auto* acl = reinterpret_cast<PACL>(aclBytes.data());
  SECURITY_DESCRIPTOR descriptor{};
  if (aclBytes.empty() ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return FileResult::Failure(win::ErrorText(GetLastError()));
  }
  // The parents (ProgramData itself, as a rule) exist or take their own parent's access; the
  // folder is made with its DACL in place, so it is never open to others for a moment.
  std::error_code error;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  if (CreateDirectoryW(path.c_str(), &attributes)) return FileResult::Success();
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    return FileResult::Failure(win::ErrorText(GetLastError()));
  }
  const DWORD attributesOf = GetFileAttributesW(path.c_str());
  if (attributesOf == INVALID_FILE_ATTRIBUTES || !(attributesOf & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributesOf & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // A file, or a link that could lead anywhere, where the folder should be.
    return FileResult::Failure(win::ErrorText(ERROR_DIRECTORY));
  }
  DWORD status = SetNamedSecurityInfoW(
      path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, acl, nullptr);
  if (status == ERROR_SUCCESS) status = InheritEverythingBelow(path);
  if (status != ERROR_SUCCESS) return FileResult::Failure(win::ErrorText(status));
  return FileResult::Success();
}

}  // namespace tarnwick
