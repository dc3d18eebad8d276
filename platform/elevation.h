#pragma once

namespace VendraPlatform {

// Whether the process may write the machine-wide places: administrator rights,
// or machine places relocated into a folder of the caller's own.
bool HasMachineWriteRights();

}  // namespace VendraPlatform
