// Win32 layer only.
#include "platform/trusted_folder.h"

#include <string>

#include "platform/elevation.h"
#include "platform/folder_access.h"
#include "platform/sys_error.h"
#include "platform/win32/folder_security.h"
#include "platform/win32/unique_name.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {
namespace {

using Win32::AccountName;
using Win32::FolderAccounts;
using Win32::FolderSecurity;
using Win32::FromWide;
using Win32::WidePath;

std::u16string NotAFolder(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return u"cannot be checked";
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return u"is not a folder";
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return u"is a link";
  return {};
}

// Why the folder may not be used; empty when it may.
std::u16string Distrust(const std::wstring& path, const FolderAccounts& accounts) {
  if (std::u16string why = NotAFolder(::GetFileAttributesW(path.c_str())); !why.empty())
    return why;
  FolderSecurity security;
  if (security.Read(path, accounts) != ERROR_SUCCESS) return u"cannot be checked";
  const AccessJudgement judged = JudgeFolderAccess(security.access());
  switch (judged.verdict) {
    case AccessVerdict::Trusted:
      return {};
    case AccessVerdict::OwnerNotTrusted:
      return u"belongs to " + AccountName(security.owner());
    case AccessVerdict::NoList:
      return u"is open to everyone (no access list)";
    case AccessVerdict::OpenToOthers:
      return u"may be changed by " + AccountName(security.entrySid(judged.entry)) +
             (security.access().entries[judged.entry].inherited
                  ? u" (an entry inherited from the folder above)"
                  : u"");
  }
  return u"cannot be checked";
}

// The data folder holds the folder: whoever owns it may rewrite its access
// list and swap the folder for another between the check and the use.
std::u16string DistrustAbove(const std::wstring& parent, const FolderAccounts& accounts) {
  if (std::u16string why = NotAFolder(::GetFileAttributesW(parent.c_str())); !why.empty())
    return why;
  FolderSecurity security;
  if (security.Read(parent, accounts) != ERROR_SUCCESS) return u"cannot be checked";
  if (MayOwnProgramFolder(security.access().owner)) return {};
  return u"belongs to " + AccountName(security.owner()) +
         u", who is neither an administrator nor the system";
}

// Administrators and SYSTEM may do anything, users may read and start
// programs; nothing looser is inherited from the shared folder above. An
// elevated program gives the folder to the Administrators and no entry to
// its own user, so that every account judges it alike; a program without
// administrator rights (relocated machine places, or a user's own folder)
// keeps full control of it.
bool MakeFolder(const std::wstring& path, FolderAccounts& accounts) {
  alignas(DWORD) BYTE acl[1024];
  PACL list = reinterpret_cast<PACL>(acl);
  constexpr DWORD kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  constexpr DWORD kFullControl = GENERIC_ALL | STANDARD_RIGHTS_ALL;
  if (!::InitializeAcl(list, sizeof acl, ACL_REVISION) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, accounts.system()) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, accounts.admins()) ||
      !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit,
                               FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, accounts.users()) ||
      (!accounts.elevated() &&
       !::AddAccessAllowedAceEx(list, ACL_REVISION, kInherit, kFullControl, accounts.self())))
    return false;
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) ||
      (accounts.elevated() && !::SetSecurityDescriptorOwner(&descriptor, accounts.admins(), FALSE)))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != 0;
}

}  // namespace

uint32_t EnsureTrustedFolder(std::u16string_view folder, std::u16string& problem) {
  std::wstring path = WidePath(folder);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  FolderAccounts accounts;
  if (!accounts.Build()) return ::GetLastError();
  if (const size_t cut = path.find_last_of(L'\\'); cut != std::wstring::npos && cut > 2) {
    const std::wstring parent = path.substr(0, cut);
    if (const std::u16string why = DistrustAbove(parent, accounts); !why.empty()) {
      problem = u"The folder " + FromWide(parent) + u" " + why +
                u"; nothing is started from it or kept in it. An administrator must remove it "
                u"(once its owner has signed out) and run the installer again";
      return SysError::kAccessDenied;
    }
  }
  // Only a program that may write the machine-wide places repairs them: a
  // user's program that moved a folder aside could not put back what it
  // held for the other users.
  const bool mayRepair = HasMachineWriteRights();
  for (uint32_t round = 0; round < 4; ++round) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      const DWORD missing = ::GetLastError();
      if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) return missing;
      // A folder this call made is its own, whatever the system reports.
      if (MakeFolder(path, accounts)) return SysError::kSuccess;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        const DWORD err = ::GetLastError();
        problem = u"Cannot create the folder " + FromWide(path) + u" (" +
                  FromWide(std::to_wstring(err)) + u")";
        return err;
      }
      continue;
    }
    const std::u16string why = Distrust(path, accounts);
    if (why.empty()) return SysError::kSuccess;
    if (!mayRepair) {
      problem = u"The folder " + FromWide(path) + u" " + why +
                u"; nothing is started from it or kept in it until the installer, run as an "
                u"administrator, replaces it";
      return SysError::kAccessDenied;
    }
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
