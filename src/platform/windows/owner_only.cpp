#include "platform/windows/owner_only.h"

#include "platform/windows/handle.h"

namespace tarnwick::win {

OwnerOnly::OwnerOnly(bool folder) {
  if (!CurrentUser() || !Known(WinLocalSystemSid, system_) ||
      !Known(WinBuiltinAdministratorsSid, admins_)) {
    return;
  }
  PSID sids[] = {user_.data(), system_.data(), admins_.data()};
  DWORD aclBytes = sizeof(ACL);
  for (PSID sid : sids) {
    aclBytes += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE)) + GetLengthSid(sid);
  }
  acl_.resize(aclBytes);
  auto* acl = reinterpret_cast<PACL>(acl_.data());
  if (!InitializeAcl(acl, aclBytes, ACL_REVISION)) return;
  const DWORD inherit = folder ? (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) : 0;
  for (PSID sid : sids) {
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, GENERIC_ALL, sid)) return;
  }
  if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  ok_ = true;
}

bool OwnerOnly::CurrentUser() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const Handle token(raw);
  DWORD bytes = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &bytes);
  std::vector<std::byte> buffer(bytes);
  if (bytes == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), bytes, &bytes)) {
    return false;
  }
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  user_.resize(GetLengthSid(sid));
  return CopySid(static_cast<DWORD>(user_.size()), user_.data(), sid) != FALSE;
}

bool OwnerOnly::Known(WELL_KNOWN_SID_TYPE type, std::vector<std::byte>& sid) {
  DWORD bytes = SECURITY_MAX_SID_SIZE;
  sid.resize(bytes);
  return CreateWellKnownSid(type, nullptr, sid.data(), &bytes) != FALSE;
}

}  // namespace tarnwick::win
