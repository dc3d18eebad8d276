// Win32 layer only.
#include "platform/trusted_folder.h"

#include <string>

#include "platform/sys_error.h"
#include "platform/win32/unique_name.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

using Win32::FromWide;
using Win32::WidePath;

// Rights that let someone add, replace or remove what the folder holds, or
// take the folder over.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                  FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct WellKnown {
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE admins[SECURITY_MAX_SID_SIZE];
  BYTE users[SECURITY_MAX_SID_SIZE];
  BYTE creatorOwner[SECURITY_MAX_SID_SIZE];
  BYTE self[SECURITY_MAX_SID_SIZE];
  bool haveSelf = false;

  bool Build() {
    DWORD size = sizeof system;
    if (!::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size)) return false;
    size = sizeof admins;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size)) return false;
    size = sizeof users;
    if (!::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size)) return false;
    size = sizeof creatorOwner;
    if (!::CreateWellKnownSid(WinCreatorOwnerSid, nullptr, creatorOwner, &size)) return false;
    // The user this program runs as: with relocated machine places a
    // program without administrator rights keeps its own folders.
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
      alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
      DWORD got = 0;
      if (::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &got)) {
        const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
        haveSelf = ::CopySid(sizeof self, self, user->User.Sid) != 0;
      }
      ::CloseHandle(token);
    }
    return true;
  }

  bool MayOwn(PSID sid) {
    return ::EqualSid(sid, system) || ::EqualSid(sid, admins) ||
           (haveSelf && ::EqualSid(sid, self));
  }
};

std::u16string AccountName(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  if (sid && ::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
    return FromWide(std::wstring(domain) + L"\\" + name);
  wchar_t* text = nullptr;
  if (sid && ::ConvertSidToStringSidW(sid, &text)) {
    std::u16string out = FromWide(text);
    ::LocalFree(text);
    return out;
  }
  return u"an unknown account";
}

// Why the folder may not be used; empty when it may.
std::u16string Distrust(const std::wstring& path, WellKnown& known) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return u"is not a folder";
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return u"is a link";
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return u"cannot be checked";
  std::u16string why;
  if (!owner || !known.MayOwn(owner)) {
    why = u"belongs to " + AccountName(owner);
  } else if (!dacl) {
    why = u"is open to everyone (no access list)";
  } else {
    for (DWORD i = 0; i < dacl->AceCount && why.empty(); ++i) {
      void* entry = nullptr;
      if (!::GetAce(dacl, i, &entry)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(entry);
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
        continue;
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
      PSID sid = const_cast<DWORD*>(&allowed->SidStart);
      if ((allowed->Mask & kChangingRights) && !known.MayOwn(sid))
        why = u"may be changed by " + AccountName(sid);
    }
  }
  ::LocalFree(descriptor);
  return why;
}

// Administrators and SYSTEM may do anything, users may read and start
// programs; nothing looser is inherited from the shared folder above. A
// program without administrator rights (relocated machine places) keeps
// full control of its own folder.
bool MakeFolder(const std::wstring& path, WellKnown& known) {
  alignas(DWORD) BYTE acl[1024];
  PACL list = reinterpret_cast<PACL>(acl);
  constexpr DWORD kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  constexpr DWORD kFullControl = GENERIC_ALL | STANDARD_RIGHTS_ALL;
  if (!::InitializeAcl(list, sizeof acl, ACL_REVISION) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, known.system) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, known.admins) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit,
                               FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, known.users) ||
      (known.haveSelf &&
       !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, known.self)))
    return false;
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != 0;
}

}  // namespace

uint32_t EnsureTrustedFolder(std::u16string_view folder, std::u16string& problem) {
  std::wstring path = WidePath(folder);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  WellKnown known;
  if (!known.Build()) return ::GetLastError();
  for (uint32_t round = 0; round < 4; ++round) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      const DWORD missing = ::GetLastError();
      if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) return missing;
      // A folder this call made is its own, whatever the system reports.
      if (MakeFolder(path, known)) return SysError::kSuccess;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        const DWORD err = ::GetLastError();
        problem = u"Cannot create the folder " + FromWide(path) + u" (" +
                  FromWide(std::to_wstring(err)) + u")";
        return err;
      }
      continue;
    }
    const std::u16string why = Distrust(path, known);
    if (why.empty()) return SysError::kSuccess;
    const std::wstring aside = path + L".untrusted-" + Win32::Wide(Win32::UniqueSuffix(round));
    if (!::MoveFileExW(path.c_str(), aside.c_str(), 0)) {
      problem = u"The folder " + FromWide(path) + u" " + why +
                u" and cannot be moved aside; remove it (as its owner or an administrator) "
                u"and try again";
      return SysError::kAccessDenied;
    }
  }
  problem = u"The folder " + FromWide(path) +
            u" keeps being replaced by another user; remove it and try again";
  return SysError::kAccessDenied;
}

}  // namespace VendraPlatform
