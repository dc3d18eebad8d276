#pragma once

// POSIX layer only: errno values turned into the Windows system error numbers
// that the rest of the program reasons about.

#include <cstdint>

namespace VendraPlatform::Posix {

uint32_t SysErrorFromErrno(int err);

}  // namespace VendraPlatform::Posix
