// POSIX layer only.
#include "platform/elevation.h"

#include <unistd.h>

#include "platform/known_folders.h"

namespace VendraPlatform {

bool HasMachineWriteRights() { return ::geteuid() == 0 || MachineRootRelocated(); }

}  // namespace VendraPlatform
