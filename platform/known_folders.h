#pragma once

#include <string>

namespace VendraPlatform {

// The machine-wide application-data folder shared by all users (relocated
// below VENDRA_MACHINE_ROOT when that variable is set).
std::u16string CommonAppDataFolder();

// True when the machine-wide places are relocated by VENDRA_MACHINE_ROOT.
bool MachineRootRelocated();

}  // namespace VendraPlatform
