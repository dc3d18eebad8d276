#pragma once

#include <cstdint>

namespace VendraClient {

// The C runtime's error number (errno value) for a system error number, as
// the runtime's file functions report it: 13 for access denied and for a file
// held open elsewhere, 2 for a missing file or folder, 22 for anything it
// has no better number for. Messages and result rules of the codec are
// written in these numbers.
int CrtErrorNumber(uint32_t sysError);

constexpr int kCrtAccessDenied = 13;

}  // namespace VendraClient
