#pragma once

#include <string>

#include "client/result.h"

namespace VendraClient {

// The device identity sent as "local_id": the MD5 of the machine's
// identifier as 32 lower-case hexadecimal digits, or empty when the machine
// has no identifier.
std::string ComputeDeviceIdentity();

// 0 when the machine has an identifier to make the device identity from;
// else -1 with a text saying that this device cannot be authorised, where
// the identifier is read from and how the machine gets one. The programs
// check it before they ask the user anything: the service would refuse the
// device only after the password and the e-mailed code.
eVClientResult CheckDeviceIdentity(std::u16string& error);

}  // namespace VendraClient
