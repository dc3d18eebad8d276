#pragma once

#include <string>

namespace VendraClient {

// The device identity sent as "local_id": the MD5 of the machine's
// identifier as 32 lower-case hexadecimal digits, or empty when the machine
// has no identifier.
std::string ComputeDeviceIdentity();

}  // namespace VendraClient
