#pragma once

// Win32 layer only: whose secrets this process keeps. The data folder lets
// every user add files, so a file there that holds the session is trusted
// only for the owners checked here, and is made readable by its owner only.

#include "platform/win32/windows_api.h"

namespace VendraPlatform::Win32 {

// True when an object owned by owner may hold this process's session: the
// process's own user's, the Administrators' (an elevated program's files
// belong to them) and the system's.
bool TrustedOwner(PSID owner);

// Restricts a file to the process's user, the system and the Administrators,
// with nothing inherited from its folder. A system error number.
uint32_t MakePrivate(const std::wstring& path);

}  // namespace VendraPlatform::Win32
