#pragma once

// Win32 layer only: whose secrets this process keeps. The data folder lets
// every user add files, so a file there that holds the session is trusted
// only for the owners checked here, and is made readable by its owner only.

#include <memory>

#include "platform/win32/windows_api.h"

namespace VendraPlatform::Win32 {

// True when an object owned by owner may hold this process's session: the
// process's own user's (or the owner its token gives new objects), the
// Administrators' (an elevated program's files belong to them) and the
// system's.
bool TrustedOwner(PSID owner);

// True when the kernel object (a file mapping) belongs to a trusted owner.
bool TrustedObject(HANDLE object);

// The protected access list of a private object: the process's user, the
// system and the Administrators, nothing inherited.
class PrivateSecurity {
 public:
  // A system error number.
  uint32_t Build();
  PACL acl() { return reinterpret_cast<PACL>(acl_); }
  // For creating an object with that list.
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  std::unique_ptr<BYTE[]> self_;
  BYTE system_[SECURITY_MAX_SID_SIZE];
  BYTE admins_[SECURITY_MAX_SID_SIZE];
  alignas(DWORD) BYTE acl_[1024];
  SECURITY_DESCRIPTOR descriptor_;
  SECURITY_ATTRIBUTES attributes_{};
};

// Restricts a file to PrivateSecurity's list. A system error number.
uint32_t MakePrivate(const std::wstring& path);

}  // namespace VendraPlatform::Win32
