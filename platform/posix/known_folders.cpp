// POSIX layer only.
#include "platform/known_folders.h"

#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/posix/posix_text.h"
#include "platform/process.h"

namespace VendraPlatform {
namespace {
// The machine-wide application-data folder of a Linux system: state kept by
// programs for every user of the machine.
constexpr char16_t kSystemAppData[] = u"/var/lib";
}  // namespace

bool MachineRootRelocated() {
  const char* root = std::getenv("VENDRA_MACHINE_ROOT");
  return root && *root;
}

std::u16string CommonAppDataFolder() {
  if (!MachineRootRelocated()) return kSystemAppData;
  const std::u16string folder =
      PathAppend(EnvironmentVariable("VENDRA_MACHINE_ROOT"), u"ProgramData");
  // Like the system folder it stands for, it always exists.
  CreateFolderTree(folder);
  return folder;
}

}  // namespace VendraPlatform
