#pragma once

// Win32 layer only: a folder's real owner and access list, read into the
// portable terms of platform/folder_access.h as this program sees them.

#include <string>
#include <vector>

#include "platform/folder_access.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform::Win32 {

// The accounts the folder rule names, and who this program is.
class FolderAccounts {
 public:
  // False when the system cannot say who the program runs as.
  bool Build();
  // True when the program runs with administrator rights: what it makes is
  // given to the Administrators, and its own user counts as the installing
  // account. Wine makes every file's owner and list up from its Unix mode,
  // always naming the process's user; there that user is the only account
  // and stands for the administrators.
  bool elevated() const { return elevated_; }
  PSID system() { return system_; }
  PSID admins() { return admins_; }
  PSID users() { return users_; }
  PSID self() { return self_; }
  Account Classify(PSID sid) const;

 private:
  BYTE system_[SECURITY_MAX_SID_SIZE];
  BYTE admins_[SECURITY_MAX_SID_SIZE];
  BYTE users_[SECURITY_MAX_SID_SIZE];
  BYTE self_[SECURITY_MAX_SID_SIZE];
  bool elevated_ = false;
  bool underWine_ = false;
};

// An account's name for a message: "DOMAIN\\name", else its SID text.
std::u16string AccountName(PSID sid);

// A folder's owner and access list, read without following a link at its
// name.
class FolderSecurity {
 public:
  FolderSecurity() = default;
  ~FolderSecurity();
  FolderSecurity(const FolderSecurity&) = delete;
  FolderSecurity& operator=(const FolderSecurity&) = delete;

  // A system error number.
  uint32_t Read(const std::wstring& path, const FolderAccounts& accounts);
  const FolderAccess& access() const { return access_; }
  PSID owner() const { return owner_; }
  // The account entries()[i] names.
  PSID entrySid(size_t i) const { return sids_[i]; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  PSID owner_ = nullptr;
  FolderAccess access_;
  std::vector<PSID> sids_;
};

}  // namespace VendraPlatform::Win32
