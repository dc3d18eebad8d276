// Win32 layer only.
#include "platform/machine_identity.h"

#include <cstring>

#include "platform/win32/windows_api.h"

namespace VendraPlatform {

bool MachineIdentifier(std::string& text) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return false;
  char buffer[128] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  const LONG status = ::RegQueryValueExA(key, "MachineGuid", nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  buffer[sizeof buffer - 1] = '\0';
  text.assign(buffer, std::strlen(buffer));
  return true;
}

std::u16string MissingMachineIdentifierText() {
  return u"it is read from the value MachineGuid of "
         u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography (64-bit view), which is "
         u"missing or not a text; Windows sets it when it is installed; repair the Windows "
         u"installation, then run this again.";
}

uint32_t ComputerName(std::u16string& name) {
  wchar_t buffer[64] = {};
  DWORD size = 64;
  if (!::GetComputerNameW(buffer, &size)) return ::GetLastError();
  buffer[63] = L'\0';
  name = Win32::FromWide(buffer);
  return 0;
}

}  // namespace VendraPlatform
