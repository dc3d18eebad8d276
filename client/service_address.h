#pragma once

#include <string>

namespace VendraClient {

// The service base address, ending in a slash: VENDRA_SERVICE_URL when it is
// set (a slash is added when it lacks one), else the vendor's fixed address.
std::string ServiceBaseAddress();

// VENDRA_CA_FILE: a CA file libcurl is told to trust for the service (tests
// and the demonstration use it with a throw-away CA); empty when unset, and
// then the transport sets no TLS option at all.
std::string ServiceCaFile();

}  // namespace VendraClient
