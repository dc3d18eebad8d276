// Win32 layer only.
#include "platform/known_folders.h"


#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/win32/windows_api.h"

namespace VendraPlatform {

bool MachineRootRelocated() { return !EnvironmentVariable("VENDRA_MACHINE_ROOT").empty(); }

std::u16string CommonAppDataFolder() {
  if (MachineRootRelocated()) {
    const std::u16string folder =
        PathAppend(EnvironmentVariable("VENDRA_MACHINE_ROOT"), u"ProgramData");
    // Like the system folder it stands for, it always exists.
    CreateFolderTree(folder);
    return folder;
  }
  wchar_t buffer[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
    return {};
  return Win32::FromWide(buffer);
}

}  // namespace VendraPlatform
