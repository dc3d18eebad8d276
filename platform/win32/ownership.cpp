// Win32 layer only.
#include "platform/win32/ownership.h"

#include <aclapi.h>

#include <memory>

namespace VendraPlatform::Win32 {
namespace {

// The process's user, as a copy the caller owns.
std::unique_ptr<BYTE[]> ProcessUser() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  auto buffer = std::make_unique<BYTE[]>(size ? size : 1);
  const bool ok = size && ::GetTokenInformation(token, TokenUser, buffer.get(), size, &size);
  ::CloseHandle(token);
  if (!ok) return nullptr;
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid;
  const DWORD length = ::GetLengthSid(sid);
  auto copy = std::make_unique<BYTE[]>(length);
  if (!::CopySid(length, copy.get(), sid)) return nullptr;
  return copy;
}

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
  return self && ::EqualSid(owner, self.get());
}

uint32_t MakePrivate(const std::wstring& path) {
  const auto self = ProcessUser();
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE admins[SECURITY_MAX_SID_SIZE];
  if (!self || !WellKnown(WinLocalSystemSid, system) ||
      !WellKnown(WinBuiltinAdministratorsSid, admins))
    return ::GetLastError() ? ::GetLastError() : ERROR_INVALID_SID;
  alignas(DWORD) BYTE buffer[1024];
  PACL acl = reinterpret_cast<PACL>(buffer);
  constexpr DWORD kFullControl = GENERIC_ALL | STANDARD_RIGHTS_ALL;
  if (!::InitializeAcl(acl, sizeof buffer, ACL_REVISION) ||
      !::AddAccessAllowedAce(acl, ACL_REVISION, kFullControl, self.get()) ||
      !::AddAccessAllowedAce(acl, ACL_REVISION, kFullControl, system) ||
      !::AddAccessAllowedAce(acl, ACL_REVISION, kFullControl, admins))
    return ::GetLastError();
  std::wstring name = path;
  return ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, acl, nullptr);
}

}  // namespace VendraPlatform::Win32
