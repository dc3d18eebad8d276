// Win32 layer only.
#include "platform/win32/folder_security.h"

namespace VendraPlatform::Win32 {
namespace {

bool MakeSid(WELL_KNOWN_SID_TYPE type, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
  DWORD size = sizeof sid;
  return ::CreateWellKnownSid(type, nullptr, sid, &size) != 0;
}

// Wine keeps no access lists: every file reads as owned by the process's
// user with full control, and every process counts as elevated. There the
// installing account's entry is the only one any folder has, and judging it
// as an elevated run on Windows does would distrust every folder.
bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

bool FolderAccounts::Build() {
  if (!MakeSid(WinLocalSystemSid, system_) || !MakeSid(WinBuiltinAdministratorsSid, admins_) ||
      !MakeSid(WinBuiltinUsersSid, users_))
    return false;
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD got = 0;
  const bool known =
      ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &got) &&
      ::CopySid(sizeof self_, self_, reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid);
  ::CloseHandle(token);
  if (!known) return false;
  // A filtered token holds the group only for denial: false there.
  BOOL member = FALSE;
  elevated_ = ::CheckTokenMembership(nullptr, admins_, &member) && member;
  underWine_ = RunningUnderWine();
  return true;
}

Account FolderAccounts::Classify(PSID sid) const {
  if (!sid || !::IsValidSid(sid)) return Account::OtherUser;
  if (::IsWellKnownSid(sid, WinLocalSystemSid)) return Account::System;
  if (::IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) return Account::Administrators;
  if (::IsWellKnownSid(sid, WinWorldSid)) return Account::Everyone;
  if (::IsWellKnownSid(sid, WinBuiltinUsersSid) ||
      ::IsWellKnownSid(sid, WinAuthenticatedUserSid) || ::IsWellKnownSid(sid, WinInteractiveSid))
    return Account::Users;
  if (::IsWellKnownSid(sid, WinCreatorOwnerSid)) return Account::CreatorOwner;
  if (::EqualSid(sid, const_cast<BYTE*>(self_)))
    return elevated_ && !underWine_ ? Account::InstallingAccount : Account::CurrentUser;
  return Account::OtherUser;
}

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

FolderSecurity::~FolderSecurity() {
  if (descriptor_) ::LocalFree(descriptor_);
}

uint32_t FolderSecurity::Read(const std::wstring& path, const FolderAccounts& accounts) {
  // Opened as itself: a junction put in the folder's place is judged, not
  // the folder it leads to.
  HANDLE folder = ::CreateFileW(path.c_str(), READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return ::GetLastError();
  PACL dacl = nullptr;
  const DWORD err = ::GetSecurityInfo(folder, SE_FILE_OBJECT,
                                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                      &owner_, nullptr, &dacl, nullptr, &descriptor_);
  ::CloseHandle(folder);
  if (err != ERROR_SUCCESS) return err;
  access_.owner = accounts.Classify(owner_);
  access_.hasList = dacl != nullptr;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* raw = nullptr;
    if (!::GetAce(dacl, i, &raw)) return ::GetLastError();
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    AccessEntry entry;
    entry.inherited = (header->AceFlags & INHERITED_ACE) != 0;
    PSID sid = nullptr;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
      // Both kinds share the allowed entry's layout.
      auto* known = static_cast<ACCESS_ALLOWED_ACE*>(raw);
      sid = &known->SidStart;
      entry.account = accounts.Classify(sid);
      entry.allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
      entry.rights = known->Mask;
    } else {
      // An entry of a kind a folder does not normally carry (object or
      // conditional entries): counted as letting anyone change anything.
      entry.rights = AccessRight::kGenericAll;
    }
    access_.entries.push_back(entry);
    sids_.push_back(sid);
  }
  return ERROR_SUCCESS;
}

}  // namespace VendraPlatform::Win32
