// Win32 layer only.
#include "platform/win32/ownership.h"

#include <aclapi.h>

#include <memory>

namespace VendraPlatform::Win32 {
namespace {

// The process's user (TokenUser) or the owner it gives the objects it
// makes (TokenOwner), as a copy the caller owns.
std::unique_ptr<BYTE[]> ProcessSid(TOKEN_INFORMATION_CLASS which) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  ::GetTokenInformation(token, which, nullptr, 0, &size);
  auto buffer = std::make_unique<BYTE[]>(size ? size : 1);
  const bool ok = size && ::GetTokenInformation(token, which, buffer.get(), size, &size);
  ::CloseHandle(token);
  if (!ok) return nullptr;
  const PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid
                                      : reinterpret_cast<TOKEN_OWNER*>(buffer.get())->Owner;
  const DWORD length = ::GetLengthSid(sid);
  auto copy = std::make_unique<BYTE[]>(length);
  if (!::CopySid(length, copy.get(), sid)) return nullptr;
  return copy;
}

std::unique_ptr<BYTE[]> ProcessUser() { return ProcessSid(TokenUser); }

bool WellKnown(WELL_KNOWN_SID_TYPE type, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
  DWORD size = sizeof sid;
  return ::CreateWellKnownSid(type, nullptr, sid, &size) != 0;
}

}  // namespace

bool TrustedOwner(PSID owner) {
  if (!owner || !::IsValidSid(owner)) return false;
  if (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
      ::IsWellKnownSid(owner, WinLocalSystemSid))
    return true;
  const auto self = ProcessUser();
  const auto defaultOwner = ProcessSid(TokenOwner);
  return (self && ::EqualSid(owner, self.get())) ||
         (defaultOwner && ::EqualSid(owner, defaultOwner.get()));
}

bool TrustedObject(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Windows records an owner for every object; Wine records none, and an
  // object without one can only be such a Wine object.
  const bool trusted = ::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                                         &owner, nullptr, nullptr, nullptr,
                                         &descriptor) == ERROR_SUCCESS &&
                       (!owner || TrustedOwner(owner));
  if (descriptor) ::LocalFree(descriptor);
  return trusted;
}

uint32_t PrivateSecurity::Build() {
  self_ = ProcessUser();
  if (!self_ || !WellKnown(WinLocalSystemSid, system_) ||
      !WellKnown(WinBuiltinAdministratorsSid, admins_))
    return ::GetLastError() ? ::GetLastError() : ERROR_INVALID_SID;
  constexpr DWORD kFullControl = GENERIC_ALL | STANDARD_RIGHTS_ALL;
  if (!::InitializeAcl(acl(), sizeof acl_, ACL_REVISION) ||
      !::AddAccessAllowedAce(acl(), ACL_REVISION, kFullControl, self_.get()) ||
      !::AddAccessAllowedAce(acl(), ACL_REVISION, kFullControl, system_) ||
      !::AddAccessAllowedAce(acl(), ACL_REVISION, kFullControl, admins_) ||
      !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl(), FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return ::GetLastError();
  attributes_ = {sizeof attributes_, &descriptor_, FALSE};
  return ERROR_SUCCESS;
}

uint32_t MakePrivate(const std::wstring& path) {
  PrivateSecurity security;
  if (const uint32_t err = security.Build()) return err;
  std::wstring name = path;
  return ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, security.acl(), nullptr);
}

}  // namespace VendraPlatform::Win32
