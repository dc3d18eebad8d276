// Win32 layer only.
#include "platform/elevation.h"

#include "platform/known_folders.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {

bool HasMachineWriteRights() {
  if (MachineRootRelocated()) return true;
  // Membership of Administrators in the process's own token: a filtered
  // (not elevated) token holds the group only for denial, so this is false
  // there even for an administrator's account.
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size)) return false;
  BOOL member = FALSE;
  return ::CheckTokenMembership(nullptr, admins, &member) && member;
}

}  // namespace VendraPlatform
